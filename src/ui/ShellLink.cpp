#include "ui/ShellLink.h"

#include "base/ComOwner.h"
#include "base/FileSystem.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>



bool SaveShortcut(WideView linkPath, WideView target, WideView arguments) {
  if (linkPath.empty() || target.empty()) return false;
  ComSession com;
  IShellLinkW* rawLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&rawLink)))) return false;
  ComOwner<IShellLinkW> link(rawLink);
  IPersistFile* rawFile = nullptr;
  if (FAILED(link->QueryInterface(IID_PPV_ARGS(&rawFile)))) return false;
  ComOwner<IPersistFile> file(rawFile);

  WideString path(linkPath);
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
      FAILED(file->Load(path.c_str(), STGM_READWRITE))) {
    return false;
  }
  WideString targetText(target);
  WideString argumentText(arguments);
  if (FAILED(link->SetPath(targetText.c_str())) || FAILED(link->SetArguments(argumentText.c_str())) ||
      FAILED(link->SetIconLocation(targetText.c_str(), 0))) {
    return false;
  }
  if (FAILED(file->Save(path.c_str(), TRUE))) return false;
  (void)file->SaveCompleted(path.c_str());
  return IsExistingFile(path);
}

bool DeleteShortcut(WideView linkPath) {
  if (linkPath.empty()) return false;
  WideString path(linkPath);
  if (!DeleteFileW(path.c_str())) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW, path.c_str(), nullptr);
  return true;
}

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
