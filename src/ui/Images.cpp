#include "ui/Images.h"

#include "base/ComOwner.h"
#include "ui/Drawing.h"

#include <cstring>

using namespace Gdiplus;

namespace {

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle handle) { GlobalFree(handle); }
};

HINSTANCE ModuleOrExecutable(HINSTANCE module) { return module ? module : GetModuleHandleW(nullptr); }

// A stream over a copy of the resource's bytes. GDI+ keeps the stream of a bitmap and may read it again
// after this function returned, so the stream owns its memory instead of pointing into the module.
ComOwner<IStream> ResourceStream(HINSTANCE module, int id) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), kImageResourceType);
  if (!resource) return nullptr;
  const DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return nullptr;

  UniqueResource<GlobalMemoryTraits> copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return nullptr;
  void* target = GlobalLock(copy.get());
  if (!target) return nullptr;
  std::memcpy(target, bytes, size);
  GlobalUnlock(copy.get());

  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy.get(), TRUE, &stream)) || !stream) return nullptr;
  static_cast<void>(copy.release());  // freed with the stream
  return ComOwner<IStream>(stream);
}

}  // namespace

std::unique_ptr<Bitmap> LoadImageResource(HINSTANCE module, int id, int width, int height) {
  ComOwner<IStream> stream = ResourceStream(ModuleOrExecutable(module), id);
  if (!stream) return nullptr;
  std::unique_ptr<Bitmap> image(Bitmap::FromStream(stream.get()));
  if (!image || image->GetLastStatus() != Ok) return nullptr;
  const bool ownSize = (width == 0 && height == 0) || (image->GetWidth() == static_cast<UINT>(width) &&
                                                       image->GetHeight() == static_cast<UINT>(height));
  if (ownSize) return image;
  return ScaleImage(*image, width, height);
}

UniqueBitmap LoadImageResourceBitmap(HINSTANCE module, int id, int width, int height, ARGB background) {
  std::unique_ptr<Bitmap> image = LoadImageResource(module, id, width, height);
  if (!image) return {};
  return ToBitmap(*image, background);
}

UniqueIcon LoadIconResource(HINSTANCE module, int id, int size) {
  if (size < 1) return {};
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(ModuleOrExecutable(module), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}
