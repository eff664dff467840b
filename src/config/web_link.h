// Opening the maker's web site in the default browser.
#pragma once

// Starts the program registered for "http" with `url` as its only argument.
void openWebLink(const char* url);
