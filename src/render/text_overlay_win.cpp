#include "render/text_overlay.h"

#include <windows.h>
#include <d3d8.h>

#include "config/picture.h"
#include "app/app_state.h"
#include "resources/resource.h"

static_assert(kFontPictureId == IDP_FONT && kLargeFontPictureId == IDP_LARGE_FONT,
              "the font pictures' resource ids");

namespace {

BITMAPINFO fontPixelFormat(uint32_t side) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(side);
  info.bmiHeader.biHeight = static_cast<LONG>(side);  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The glyph table is laid out for the font's square; any other picture
// would be read past its rows.
bool isFontSized(Picture picture, uint32_t side) {
  BITMAP description = {};
  if (!GetObjectA(picture, sizeof(description), &description)) return false;
  return description.bmWidth == static_cast<LONG>(side) &&
         description.bmHeight == static_cast<LONG>(side);
}

// The font picture's own greys are not kept: see recolourFontPixels.
void recolourFont(Picture picture, uint32_t side, uint32_t colour, uint32_t* pixels) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info = fontPixelFormat(side);
  GetDIBits(dc, picture, 0, side, pixels, &info, DIB_RGB_COLORS);
  recolourFontPixels(pixels, side * side, colour);
  info = fontPixelFormat(side);
  SetDIBits(dc, picture, 0, side, pixels, &info, DIB_RGB_COLORS);
  DeleteDC(dc);
}

TextureResult makeFontTexture(uint32_t pictureId, uint32_t side, uint32_t colour,
                              IDirect3DTexture8** slot) {
  IDirect3DDevice8* device = app.render.device;
  TextureResult result = TextureCreateFailed;
  HANDLE heap = GetProcessHeap();
  uint32_t* pixels =
      static_cast<uint32_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, side * side * sizeof(uint32_t)));
  Picture picture = loadPictureResource(app.host.instance, pictureId, 0);
  if (pixels && picture && isFontSized(picture, side)) {
    recolourFont(picture, side, colour, pixels);
    result = textureFromBitmap(device, picture, D3DFMT_A4R4G4B4, slot);
  }
  if (pixels) HeapFree(heap, 0, pixels);
  if (picture) DeleteObject(picture);
  return result;
}

// The tallest view's height: one large font serves every view that wants it.
uint32_t tallestView() {
  uint32_t tallest = 0;
  for (uint32_t i = 0; i < app.views.count; ++i)
    if (app.views.views[i].height > tallest) tallest = app.views.views[i].height;
  return tallest;
}


struct OverlayText {
  const TextPlace* place;
  const char* text;
};

// The texts the settings ask for, in drawing order, the flag's name last;
// returns how many.
uint32_t chooseTexts(OverlayText (&texts)[kOverlayTextCount], const char* flagName) {
  TextOverlay& overlay = app.render.overlay;
  const Settings& settings = app.settings;
  uint32_t count = 0;
  if (settings.showFps) texts[count++] = {&kFpsPlace, overlay.fpsText};
  if (settings.showTime) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    formatClockText(overlay.clockText, sizeof(overlay.clockText), now.wHour, now.wMinute,
                    now.wSecond);
    texts[count++] = {&kClockPlace, overlay.clockText};
  }
  if (settings.showCountry) texts[count++] = {&kFlagNamePlace, flagName};
  return count;
}

// Lays every text out in its own range of one lock; returns the glyphs
// written, those of the last text in *lastGlyphs.
uint32_t writeTexts(IDirect3DVertexBuffer8* buffer, const OverlayText* texts, uint32_t count,
                    const D3DVIEWPORT8& viewport, uint32_t* lastGlyphs) {
  BYTE* target = nullptr;
  *lastGlyphs = 0;
  if (FAILED(buffer->Lock(0, kOverlayBufferBytes, &target, D3DLOCK_DISCARD)) || !target) return 0;
  TextVertex* vertices = reinterpret_cast<TextVertex*>(target);
  uint32_t glyphs = 0;
  for (uint32_t i = 0; i < count; ++i) {
    *lastGlyphs = layoutText(vertices + glyphs * kVerticesPerGlyph, kTextBufferGlyphs,
                             static_cast<float>(viewport.Width), static_cast<float>(viewport.Height),
                             *texts[i].place, texts[i].text);
    glyphs += *lastGlyphs;
  }
  buffer->Unlock();
  return glyphs;
}

}  // namespace

// Written whole every frame and never read back: a dynamic buffer locked
// with DISCARD gets fresh memory instead of waiting for the renderer to
// finish drawing the previous frame's texts.
void createTextBuffer() {
  IDirect3DDevice8* device = app.render.device;
  TextOverlay& overlay = app.render.overlay;
  if (!device || overlay.textBuffer) return;
  if (FAILED(device->CreateVertexBuffer(kOverlayBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                        kTextVertexFormat, D3DPOOL_DEFAULT, &overlay.textBuffer)))
    overlay.textBuffer = nullptr;
}

TextureResult createFontTexture(uint32_t colour, IDirect3DTexture8** slot) {
  if (!app.render.device) return TextureNoDevice;
  TextureResult result = makeFontTexture(kFontPictureId, kFontPictureSize, colour, slot);
  createTextBuffer();
  return result;
}

void createLargeFontTexture(uint32_t colour) {
  IDirect3DTexture8*& slot = app.render.overlay.largeFontTexture;
  if (!app.render.device || slot || !wantsLargeFont(static_cast<float>(tallestView()))) return;
  // Without it the small font serves, magnified as before.
  if (makeFontTexture(kLargeFontPictureId, kLargeFontPictureSize, colour, &slot) != TextureOk &&
      slot) {
    slot->Release();
    slot = nullptr;
  }
}

void drawOverlay(const char* flagName, float nameOpacity) {
  IDirect3DDevice8* device = app.render.device;
  if (!device) return;
  TextOverlay& overlay = app.render.overlay;
  D3DVIEWPORT8 viewport = {};
  device->GetViewport(&viewport);
  bool large = overlay.largeFontTexture && wantsLargeFont(static_cast<float>(viewport.Height));
  device->SetTexture(0, large ? overlay.largeFontTexture : overlay.fontTexture);
  device->SetTexture(1, nullptr);  // the flag's light spot must not shade the text
  if (advanceBlinkPhase(overlay.blinkPhase, app.sim.timer.frameSeconds) && app.settings.showFps)
    formatFpsText(overlay.fpsText, sizeof(overlay.fpsText), app.sim.timer.framesPerSecond);
  if (!overlay.fontTexture || !overlay.textBuffer) return;
  OverlayText texts[kOverlayTextCount];
  uint32_t count = chooseTexts(texts, flagName);
  if (count == 0) return;
  uint32_t nameGlyphs = 0;
  uint32_t glyphs = writeTexts(overlay.textBuffer, texts, count, viewport, &nameGlyphs);
  if (glyphs == 0) return;
  // One texture and one blend for every text: one draw, and one more for a
  // name that is fading.
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetStreamSource(0, overlay.textBuffer, sizeof(TextVertex));
  device->SetVertexShader(kTextVertexFormat);
  device->SetPixelShader(0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  bool fading = app.settings.showCountry && nameOpacity < 1.0f;
  uint32_t steady = fading ? glyphs - nameGlyphs : glyphs;
  if (steady > 0) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2 * steady);
  if (!fading || nameGlyphs == 0 || nameOpacity <= 0.0f) return;
  device->SetRenderState(D3DRS_TEXTUREFACTOR,
                         (static_cast<DWORD>(nameOpacity * 255.0f + 0.5f) << 24) | 0x00FFFFFF);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TFACTOR);
  device->DrawPrimitive(D3DPT_TRIANGLELIST, steady * kVerticesPerGlyph, 2 * nameGlyphs);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
}
