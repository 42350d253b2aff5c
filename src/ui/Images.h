#pragma once
// The program's pictures: PNG files stored as resources of type "IMAGE" (ids in res/ResourceIds.h),
// decoded with GDI+ and scaled to the size a button or menu asks for, and its icons at a given size.
// GDI+ must be running (the entry point starts it).

#include "ui/GdiOwners.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

// The resource type the pictures are stored under in the resource script.
inline constexpr wchar_t kImageResourceType[] = L"IMAGE";

// The picture with the id from module (null: the executable), scaled to width × height when that differs
// from its own size (0 × 0 keeps its own size). Null when there is no such resource or it does not decode.
[[nodiscard]] std::unique_ptr<Gdiplus::Bitmap> LoadImageResource(HINSTANCE module, int id, int width = 0,
                                                                 int height = 0);
// The same as a 32-bit GDI bitmap: laid on an opaque background, or keeping its alpha channel
// (premultiplied) when background is transparent, the default.
[[nodiscard]] UniqueBitmap LoadImageResourceBitmap(HINSTANCE module, int id, int width, int height,
                                                   Gdiplus::ARGB background = 0);

// The icon with the id from module (null: the executable) at size × size, made from the best of its
// images: the program icon, or the folder pair's small icon of the job list. Null when missing.
[[nodiscard]] UniqueIcon LoadIconResource(HINSTANCE module, int id, int size);
