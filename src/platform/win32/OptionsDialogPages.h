#pragma once

#include <windows.h>

// How the settings dialog lays out and paints its pages: the controls of every page live in the
// one dialog, told apart by their identifiers (IDC_PAGEFIRST on, IDC_PAGESPAN to a page).

// Sizes the frame for a client area of the design's size at this many pixels per inch, centres it
// on the work area, scales the pages' controls to it and places the tabs and the buttons.
void PlaceDialogFrame(HWND dialog, int dpi);
// Shows the controls of one page and hides those of the others.
void ShowControlsOfPage(HWND dialog, int page, int pageCount);
// The dialog's background as a page shows it: the button face, and over it the tab control with its
// page body, which a theme may paint lighter than the dialog.
void PaintPageBackground(HWND dialog, HDC dc);
// The page's background beneath one control, for a label that draws its text transparently.
void PaintPageBackgroundUnder(HWND dialog, HWND control, HDC dc);
bool IsGroupBox(HWND control);
