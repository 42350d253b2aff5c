#include "mainwnd/Shortcuts.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

namespace {

template <typename Interface>
struct ComRelease {
  void operator()(Interface* object) const {
    if (object) object->Release();
  }
};
template <typename Interface>
using ComOwner = std::unique_ptr<Interface, ComRelease<Interface>>;

}  // namespace

WideString ShortcutTarget(WideView lnkPath) {
  IShellLinkW* rawLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&rawLink)))) return {};
  ComOwner<IShellLinkW> link(rawLink);
  IPersistFile* rawFile = nullptr;
  if (FAILED(link->QueryInterface(IID_PPV_ARGS(&rawFile)))) return {};
  ComOwner<IPersistFile> file(rawFile);
  WideString path(lnkPath);
  if (FAILED(file->Load(path.c_str(), STGM_READ))) return {};
  WideString target(32768, L'\0');
  if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) return {};
  target.resize(wcslen(target.c_str()));
  return target;
}
