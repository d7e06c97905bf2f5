#pragma once
#include <windows.h>

// Draws a bitmap whose pixels of the key colour leave the destination as it was.
void DrawTransparent(HDC dc, int x, int y, HBITMAP bitmap, COLORREF key);
