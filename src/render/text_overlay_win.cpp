#include "render/text_overlay.h"

#include <windows.h>
#include <d3d8.h>

#include "config/picture.h"
#include "app/app_state.h"

namespace {

constexpr int kFontPixelCount = kFontPictureSize * kFontPictureSize;

BITMAPINFO fontPixelFormat() {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kFontPictureSize;
  info.bmiHeader.biHeight = kFontPictureSize;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

bool isFontSized(Picture picture) {
  BITMAP description = {};
  if (!GetObjectA(picture, sizeof(description), &description)) return false;
  return description.bmWidth == static_cast<LONG>(kFontPictureSize) &&
         description.bmHeight == static_cast<LONG>(kFontPictureSize);
}

// The font picture's own greys are not kept: see recolourFontPixels.
void recolourFont(Picture picture, uint32_t colour, uint32_t* pixels) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info = fontPixelFormat();
  GetDIBits(dc, picture, 0, kFontPictureSize, pixels, &info, DIB_RGB_COLORS);
  recolourFontPixels(pixels, kFontPixelCount, colour);
  info = fontPixelFormat();
  SetDIBits(dc, picture, 0, kFontPictureSize, pixels, &info, DIB_RGB_COLORS);
  DeleteDC(dc);
}

void makeTextBuffer(IDirect3DDevice8* device) {
  TextOverlay& overlay = app.render.overlay;
  if (overlay.textBuffer) return;
  if (FAILED(device->CreateVertexBuffer(kTextBufferBytes, 0, kTextVertexFormat, D3DPOOL_MANAGED,
                                        &overlay.textBuffer)))
    overlay.textBuffer = nullptr;
}

}  // namespace

TextureResult createFontTexture(uint32_t colour, IDirect3DTexture8** slot) {
  IDirect3DDevice8* device = app.render.device;
  if (!device) return TextureNoDevice;
  TextureResult result = TextureCreateFailed;
  HANDLE heap = GetProcessHeap();
  uint32_t* pixels =
      static_cast<uint32_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, kFontPixelCount * sizeof(uint32_t)));
  Picture picture = loadPictureResource(app.host.instance, kFontPictureId, 0);
  // The glyph table is laid out for a 256 × 256 font; any other picture would
  // be read past its rows.
  if (pixels && picture && isFontSized(picture)) {
    recolourFont(picture, colour, pixels);
    result = textureFromBitmap(device, picture, D3DFMT_A4R4G4B4, slot);
  }
  if (pixels) HeapFree(heap, 0, pixels);
  if (picture) DeleteObject(picture);
  makeTextBuffer(device);
  return result;
}

void drawText(float leftFraction, float topFraction, float depth, float widthScale,
              float heightScale, const char* text) {
  IDirect3DDevice8* device = app.render.device;
  IDirect3DVertexBuffer8* buffer = app.render.overlay.textBuffer;
  if (!device || !buffer || !text) return;
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetStreamSource(0, buffer, sizeof(TextVertex));
  device->SetVertexShader(kTextVertexFormat);
  device->SetPixelShader(0);
  D3DVIEWPORT8 viewport = {};
  device->GetViewport(&viewport);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  BYTE* target = nullptr;
  if (FAILED(buffer->Lock(0, kTextBufferBytes, &target, 0)) || !target) return;
  TextPlace place = {leftFraction, topFraction, depth, widthScale, heightScale};
  uint32_t glyphs = layoutText(reinterpret_cast<TextVertex*>(target), kTextBufferGlyphs,
                               static_cast<float>(viewport.Width),
                               static_cast<float>(viewport.Height), place, text);
  buffer->Unlock();
  if (glyphs > 0) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2 * glyphs);
}

namespace {

void drawAt(const TextPlace& place, const char* text) {
  drawText(place.leftFraction, place.topFraction, place.depth, place.widthScale, place.heightScale,
           text);
}

}  // namespace

void drawOverlay() {
  IDirect3DDevice8* device = app.render.device;
  if (!device) return;
  TextOverlay& overlay = app.render.overlay;
  const Settings& settings = app.settings;
  device->SetTexture(0, overlay.fontTexture);
  device->SetTexture(1, nullptr);  // the flag's light spot must not shade the text
  if (advanceBlinkPhase(overlay.blinkPhase, app.sim.timer.frameSeconds) && settings.showFps)
    formatFpsText(overlay.fpsText, sizeof(overlay.fpsText), app.sim.timer.framesPerSecond);
  if (!overlay.fontTexture) return;
  if (settings.showFps) drawAt(kFpsPlace, overlay.fpsText);
  if (settings.showTime) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    formatClockText(overlay.clockText, sizeof(overlay.clockText), now.wHour, now.wMinute,
                    now.wSecond);
    drawAt(kClockPlace, overlay.clockText);
  }
  if (settings.showCountry) drawAt(kFlagNamePlace, settings.selectFlag);
}
