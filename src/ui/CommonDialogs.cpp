#include "ui/CommonDialogs.h"

#include "base/ComOwner.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

namespace {

constexpr size_t kPathBuffer = 2048;

// "a|b|c|d" as the double-zero-ended list the dialogs read.
WideString FilterList(WideView filter) {
  WideString list(filter);
  for (wchar_t& c : list) {
    if (c == L'|') c = L'\0';
  }
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

struct IdListFree {
  void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

bool PickWithItemDialog(HWND owner, WideView title, WideView initialFolder, WideString& chosen) {
  IFileDialog* raw = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&raw)))) return false;
  ComOwner<IFileDialog> dialog(raw);
  DWORD options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM);
  WideString titleText(title);
  dialog->SetTitle(titleText.c_str());
  if (!initialFolder.empty()) {
    WideString folder(initialFolder);
    ITEMIDLIST* list = nullptr;
    if (SUCCEEDED(SHParseDisplayName(folder.c_str(), nullptr, &list, 0, nullptr))) {
      std::unique_ptr<ITEMIDLIST, IdListFree> owned(list);
      IShellItem* item = nullptr;
      if (SUCCEEDED(SHCreateItemFromIDList(list, IID_PPV_ARGS(&item)))) {
        ComOwner<IShellItem> start(item);
        dialog->SetFolder(start.get());
      }
    }
  }
  if (FAILED(dialog->Show(owner))) return true;  // cancelled: answered, with nothing chosen
  IShellItem* result = nullptr;
  if (FAILED(dialog->GetResult(&result))) return true;
  ComOwner<IShellItem> item(result);
  wchar_t* path = nullptr;
  if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path) {
    chosen = path;
    CoTaskMemFree(path);
  }
  return true;
}

}  // namespace

// The open or save dialog with a 2048-character buffer that starts with initialName.
static WideString RunFileDialog(bool save, HWND owner, WideView title, WideView filter, DWORD flags, WideView initialName,
                         WideView defaultExtension) {
  WideString buffer(kPathBuffer, L'\0');
  initialName.substr(0, kPathBuffer - 1).copy(buffer.data(), kPathBuffer - 1);
  WideString filters = FilterList(filter);
  WideString titleText(title);
  WideString extension(defaultExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filters.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = static_cast<DWORD>(kPathBuffer);
  dialog.lpstrTitle = titleText.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = flags | OFN_EXPLORER;
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return {};
  return WideString(buffer.c_str());
}

WideString ChooseFileToOpen(HWND owner, WideView title, WideView filter, DWORD flags, WideView initialName,
                            WideView defaultExtension) {
  return RunFileDialog(false, owner, title, filter, flags, initialName, defaultExtension);
}

WideString ChooseFileToSave(HWND owner, WideView title, WideView filter, WideView defaultExtension) {
  return RunFileDialog(true, owner, title, filter, OFN_NOCHANGEDIR, {}, defaultExtension);
}

WideString ChooseFolder(HWND owner, WideView title, WideView initialFolder) {
  WideString chosen;
  if (PickWithItemDialog(owner, title, initialFolder, chosen)) return chosen;
  WideString titleText(title);
  BROWSEINFOW browse{};
  browse.hwndOwner = owner;
  browse.lpszTitle = titleText.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  std::unique_ptr<ITEMIDLIST, IdListFree> list(SHBrowseForFolderW(&browse));
  if (!list) return {};
  wchar_t path[MAX_PATH];
  if (!SHGetPathFromIDListW(list.get(), path)) return {};
  return WideString(path);
}
