#include "mainwnd/FtpLocationDialog.h"

#include "jobs/FtpLocation.h"
#include "jobs/PathRelation.h"
#include "ui/Controls.h"
#include "ui/DialogWindow.h"
#include "ui/Drawing.h"

namespace {

constexpr COLORREF kMessageColour = RGB(224, 0, 0);

UniqueBitmap CheckPicture(bool ticked) {
  return CheckBoxPicture(14, ticked ? kCheckRounded | kCheckTick : kCheckRounded, 0xFF005F00);
}

int AddCheckBoxAt(UiWindow& window, WideView text, int x, int y, int width, bool checked) {
  return AddCheckBox(window, text, CheckPicture(false), CheckPicture(true), x, y, width,
                     checked ? kStateChecked : kStateUnchecked);
}

// The user may paste the whole address; the scheme is no part of the server's name. An "sftp://" is taken
// off too, although the connection is then made with FTP or FTPS: there is no SSH transfer.
WideString WithoutScheme(WideView server) {
  if (text::StartsWith(server, L"ftp://", false)) return WideString(server.substr(6));
  if (text::StartsWith(server, L"ftps://", false) || text::StartsWith(server, L"sftp://", false)) {
    return WideString(server.substr(7));
  }
  return WideString(server);
}

// What the dialog starts with: the stored location, and over it what the field's address names when that
// is another place (typed or pasted): its server and directory, and its user, password and port where it
// gives them. The account of one server is never offered for another.
FtpLocation StartingLocation(WideView storedForm, WideView address) {
  FtpLocation start = ReadLocation(storedForm).value_or(FtpLocation{});
  std::optional<FtpLocation> typed = ParseFtpAddress(address);
  std::optional<WideString> storedAddress = DisplayForm(storedForm, true);
  if (typed && !(storedAddress && RelationOf(*storedAddress, address, L'/') == PathRelation::kSame)) {
    if (!text::EqualsNoCase(typed->server, start.server)) start = FtpLocation{};
    start.server = typed->server;
    start.remoteDirectory = typed->remoteDirectory;
    if (!typed->userName.empty()) start.userName = typed->userName;
    if (!typed->password.empty()) start.password = typed->password;
    if (!typed->port.empty()) start.port = typed->port;
  }
  if (start.port.empty()) start.port = L"21";
  return start;
}

}  // namespace

UniqueBitmap LocationWindowBackground() { return DialogFace(kLocationWindowWidth, kLocationWindowHeight, 206, 4); }

bool EditFtpLocation(UiWindow& owner, WideString& storedForm, WideString& displayForm) {
  FtpLocation start = StartingLocation(storedForm, displayForm);

  UiEvent before = owner.event();
  UiWindow dialog;
  if (!OpenDialogWindow(dialog, &owner, L"Set FTP directory", kLocationWindowWidth, kLocationWindowHeight, 0,
                        LocationWindowBackground())) {
    return false;
  }
  dialog.SetDefaultColours(0, kTransparent);

  (void)AddLabel(dialog, L"Setup remote FTP directory", 150, 10, 215, 20, SS_CENTER);
  (void)SetControlFont(dialog, -1, 10, 400, 1);
  (void)AddLabel(dialog, L"Server name or IP address:", 20, 50, 210, 18);
  int server = AddInputField(dialog, start.server, 20, 70, 210, 20);
  (void)SetTooltip(dialog, server, L"Your FTPserver's name or IP address\r\ne.g. example.com or 127.168.1.1");
  (void)AddLabel(dialog, L"Remote directory:", 285, 50, 210, 18);
  int directory = AddInputField(dialog, start.remoteDirectory, 285, 70, 210, 20);
  (void)SetTooltip(dialog, directory,
                   L"The remote directory were files will be copied to/from\r\ne.g. /backups/my_backup");
  (void)AddLabel(dialog, L"FTP user name:", 20, 100, 210, 18);
  int userName = AddInputField(dialog, start.userName, 20, 120, 210, 20);
  (void)SetTooltip(dialog, userName, L"The name of the FTP user account to use for this connection");
  (void)AddLabel(dialog, L"FTP user password:", 285, 100, 210, 18);
  int password = AddInputField(dialog, start.password, 285, 120, 150, 20, ES_AUTOHSCROLL | ES_PASSWORD);
  (void)SetTooltip(dialog, password, L"The password of the FTP user account to use for this connection");
  int show = AddCheckBoxAt(dialog, L" Show", 440, 123, 55, false);
  (void)AddLabel(dialog, L"Port number:", 20, 154, 85, 18);
  int port = AddInputField(dialog, start.port, 105, 150, 70, 22);
  (void)AttachUpDown(dialog, port, 0, 65535);
  (void)SetTooltip(dialog, port, L"The port number to use. Defaults to 21");
  int ssl = AddCheckBoxAt(dialog, L" Use SSL encryption", 205, 152, 130, start.UsesSsl());
  (void)SetTooltip(dialog, ssl,
                   L"You can check this option if your server supports FTP over SSL (FTPS).\r\nThis will secure "
                   L"your connection's data with SSL encryption.");
  int passive = AddCheckBoxAt(dialog, L" Use passive FTP", 365, 152, 130, start.UsesPassive());
  (void)SetTooltip(dialog, passive, L"You can check this option if your server supports passive FTP semantics.");
  int message = AddLabel(dialog, L"", 10, 185, 430, 18, SS_CENTER);
  (void)SetControlColours(dialog, message, static_cast<int32_t>(kMessageColour), kTransparent);
  int ok = AddPushButton(dialog, L"OK", 295, 215, 80, 26, WS_TABSTOP | BS_DEFPUSHBUTTON);
  int cancel = AddPushButton(dialog, L"Cancel", 405, 215, 80, 26);
  dialog.SetCancelButton(cancel);

  HWND passwordField = dialog.ControlHandle(password);
  // The field's own masking character, which differs between systems and visual styles.
  auto maskCharacter = static_cast<WPARAM>(SendMessageW(passwordField, EM_GETPASSWORDCHAR, 0, 0));
  OwnerDisabled ownerDisabled(&owner);
  dialog.Show(SW_SHOWNORMAL, UiWindow::kShowUpdate | UiWindow::kShowForeground | UiWindow::kShowActivate);
  SetFocus(dialog.ControlHandle(server));

  bool confirmed = false;
  bool ownCloseRequest = false;
  for (bool waiting = true; waiting;) {
    const UiEvent& event = owner.WaitEvent();
    if (event.code == kEventQuit) break;
    if (event.code == kEventClose) {
      ownCloseRequest = event.window == dialog.handle();
      break;
    }
    if (event.source != &dialog || event.code <= 0) continue;
    if (event.code == show) {
      bool readable = (dialog.GetState(show) & kStateChecked) != 0;
      SendMessageW(passwordField, EM_SETPASSWORDCHAR, readable ? 0 : maskCharacter, 0);
      InvalidateRect(passwordField, nullptr, TRUE);
      SetFocus(passwordField);
    } else if (event.code == cancel) {
      waiting = false;
    } else if (event.code == ok) {
      const wchar_t* refusal = nullptr;
      if (ControlText(dialog, server).empty()) {
        refusal = L"The Server Name field can not be empty!";
      } else if (ControlText(dialog, port).empty()) {
        refusal = L"The Port Number field can not be empty!";
      } else if (!FtpLocation{L"", L"", L"", L"", ControlText(dialog, port), L""}.PortNumber()) {
        // A port that no connection can use would store a pair that can only fail.
        refusal = L"The Port Number must be a number from 1 to 65535!";
      } else if (ControlText(dialog, password).empty()) {
        refusal = L"The FTP User Password field can not be empty!";
      } else if (ControlText(dialog, userName).empty()) {
        refusal = L"The FTP User Name field can not be empty!";
      }
      if (refusal) {
        (void)SetControlText(dialog, message, refusal);
        continue;
      }
      FtpLocation location;
      location.server = WithoutScheme(ControlText(dialog, server));
      location.remoteDirectory = ControlText(dialog, directory);
      location.userName = ControlText(dialog, userName);
      location.password = ControlText(dialog, password);
      location.port = ControlText(dialog, port);
      uint32_t flags = 0;
      if (dialog.GetState(ssl) & kStateChecked) flags |= FtpLocation::kUseSsl;
      if (dialog.GetState(passive) & kStateChecked) flags |= FtpLocation::kUsePassive;
      location.flags = text::Decimal(flags);
      std::optional<WideString> stored = MakeStoredForm(location);
      std::optional<WideString> display = DisplayForm(location.PlainForm(), false);
      // Without the cipher there is no stored form, and a password is never kept in clear instead.
      if (stored && display) {
        storedForm = std::move(*stored);
        displayForm = std::move(*display);
        confirmed = true;
      }
      waiting = false;
    }
  }
  // The owner comes back before the dialog goes, so that the system gives it the activation.
  ownerDisabled.Restore();
  dialog.CloseModal(before, !ownCloseRequest);
  return confirmed;
}
