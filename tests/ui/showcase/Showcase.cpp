// Shows one sample window of the framework for a screenshot: every control kind, a message box of a
// given kind, or a tip. Writes the file named by its second argument once the window is on screen, and
// stays until it is closed or killed.
//   ui_showcase controls <ready-file>
//   ui_showcase box <kind 0-3> <ready-file>
//   ui_showcase tip <ready-file>
//   ui_showcase strict <ready-file>
//   ui_showcase editor <ready-file>
//   ui_showcase ftp <ready-file>
//   ui_showcase settings <page 0-2> <folder> <ready-file>   (page 2 with three schedules)
//   ui_showcase schedule <folder> <ready-file>   (the schedule editor on a saved schedule)
//   ui_showcase traymenu <folder> <ready-file>   (the scheduled-backups monitor with its menu open)
//   ui_showcase main <folder> <ready-file>   (the main window on a settings file of three pairs in folder)

#include "jobs/FtpLocation.h"
#include "jobs/SettingsFile.h"
#include "mainwnd/FtpLocationDialog.h"
#include "mainwnd/JobStatus.h"
#include "mainwnd/PairEditor.h"
#include "mainwnd/MainWindowFrame.h"
#include "mainwnd/StrictWarning.h"
#include "base/TimeStamp.h"
#include "engine/ErrorLog.h"
#include "schedule/Monitor.h"
#include "schedule/Schedule.h"
#include "schedule/ScheduleEditor.h"
#include "setup/SettingsWindow.h"
#include "ui/UiEvent.h"
#include "update/AutoUpdateWindow.h"
#include "ui/Controls.h"
#include "ui/ListView.h"
#include "ui/Menus.h"
#include "ui/MessageBox.h"
#include "ui/UiWindow.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cwchar>
#include <string>

namespace {

UniqueBitmap Square(COLORREF fill, COLORREF mark) {
  WindowDc screen(nullptr);
  UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 14, 14));
  UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
  SelectedObject selected(dc.get(), bitmap.get());
  UniqueBrush border(CreateSolidBrush(RGB(0, 0, 0)));
  UniqueBrush inside(CreateSolidBrush(fill));
  UniqueBrush tick(CreateSolidBrush(mark));
  RECT all{0, 0, 14, 14}, inner{1, 1, 13, 13}, centre{4, 4, 10, 10};
  FillRect(dc.get(), &all, border.get());
  FillRect(dc.get(), &inner, inside.get());
  if (mark != fill) FillRect(dc.get(), &centre, tick.get());
  return bitmap;
}

void MakeEveryKind(UiWindow& window) {
  window.SetBackgroundColour(RGB(254, 254, 254));
  (void)AddLabel(window, L"Every control kind of the framework", 10, 8, 400, 18);
  (void)SetControlFont(window, -1, 11, 700, 1);
  (void)AddPushButton(window, L"Push button", 10, 56, 110, 26);
  (void)AddImageButton(window, L"     Image button", Square(RGB(255, 255, 255), RGB(200, 0, 0)), 130, 56, 140, 26);
  (void)AddDropDownList(window, L"Do nothing\nClose application\nLog off\nSleep\nHibernate\nShut down\nRestart", 280,
                        58, 160, 200);
  SendMessageW(window.ControlHandle(-1), CB_SETCURSEL, 0, 0);
  (void)AddFittedLabel(window, L"A label sized to its text", 450, 62);
  (void)AddGroupBox(window, L"Group box", 10, 92, 300, 90);
  (void)AddInputField(window, L"An input field", 24, 116, 180, 22);
  (void)AddIcon(window, LoadIconW(nullptr, IDI_INFORMATION), 220, 112, 32, 32);
  (void)AddPicture(window, Square(RGB(0, 90, 200), RGB(0, 90, 200)).get(), 262, 120, 14, 14);
  (void)AddLink(window, L"A link in a title band (always at y 35)", L"https://example.invalid/", 450, 220);
  (void)AddProgressBar(window, 330, 120, 280, 18);
  SendMessageW(window.ControlHandle(-1), PBM_SETPOS, 620, 0);
  (void)AddCheckBox(window, L" A check box, checked", Square(RGB(255, 255, 255), RGB(255, 255, 255)),
                    Square(RGB(255, 255, 255), RGB(0, 95, 0)), 24, 150, 200, kStateChecked);
  window.StartGroup();
  (void)AddRadioButton(window, L" A radio button", Square(RGB(255, 255, 255), RGB(255, 255, 255)),
                       Square(RGB(255, 255, 255), RGB(0, 95, 0)), 330, 150, 160, kStateChecked);
  (void)AddRadioButton(window, L" Its neighbour", Square(RGB(255, 255, 255), RGB(255, 255, 255)),
                       Square(RGB(255, 255, 255), RGB(0, 95, 0)), 500, 150, 160, kStateUnchecked);
  int list = AddListView(window, L"  Source location\n  Backup location", 10, 192, 420, 140,
                         LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
  (void)AddListRow(window, list, L"C:\\Users\\me\\Documents\nD:\\Backup\\Documents");
  (void)AddListRow(window, list, L"C:\\Users\\me\\Pictures\nftp://backup.example.invalid/pictures");
  (void)SetListRowChecked(window, list, 0, true);
  (void)SetListSmallIcon(window, list, LoadIconW(nullptr, IDI_APPLICATION), 16);
  int tabs = AddTabControl(window, 440, 192, 250, 140);
  (void)AddTabPage(window, tabs, L"First page");
  (void)AddLabel(window, L"A control on a tab page", 10, 10, 200, 18);
  (void)AddTabPage(window, tabs, L"Second");
  window.CloseContainer();
  int menu = AddPopupMenu(window, L"A menu item");
  (void)AddMenuItem(window, menu, L"Another");
  (void)SetTooltip(window, 2, L"A tooltip\r\non two lines");
}

DWORD WINAPI SayReadyOnceWarningShows(void* readyFile) {
  while (!FindWindowW(L"Brimlark_MsgBox", nullptr)) Sleep(20);
  Sleep(200);
  HANDLE ready = CreateFileW(static_cast<const wchar_t*>(readyFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  return 0;
}

DWORD WINAPI SayReadyAfterAMoment(void* readyFile) {
  Sleep(500);
  HANDLE ready = CreateFileW(static_cast<const wchar_t*>(readyFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  return 0;
}

DWORD WINAPI SayReadyOnceMenuShows(void* readyFile) {
  while (!FindWindowW(L"#32768", nullptr) || !IsWindowVisible(FindWindowW(L"#32768", nullptr))) Sleep(20);
  Sleep(200);
  HANDLE ready = CreateFileW(static_cast<const wchar_t*>(readyFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  return 0;
}

// Three schedules of settings files in folder (made, so that the editor finds them).
void WriteSampleSchedules(IniFile& appIni, const std::wstring& folder) {
  struct Sample {
    const wchar_t* name;
    const wchar_t* file;
    const wchar_t* mode;
    uint64_t days;
    uint64_t hourOfDay;
  };
  const Sample samples[] = {{L"Documents every night", L"documents.brlk", L"2", 1, 23},
                            {L"Photos at the weekend", L"photos.brlk", L"1", 7, 10},
                            {L"Music once", L"music.brlk", L"0", 0, 18}};
  uint64_t today = LocalNowInSeconds() / kSecondsPerDay * kSecondsPerDay;
  for (const Sample& sample : samples) {
    Schedule schedule;
    schedule.name = sample.name;
    schedule.start = today + sample.hourOfDay * 3600;
    schedule.interval = sample.days * kSecondsPerDay;
    schedule.mode = sample.mode;
    schedule.settingsFile = folder + L"\\" + sample.file;
    HANDLE file = CreateFileW(schedule.settingsFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    (void)WriteSchedule(appIni, schedule, false);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  std::wstring what = argv[1];
  const wchar_t* readyFile = argv[argc - 1];

  if (what == L"main" && argc > 3) {
    std::wstring folder = argv[2];
    AppPaths paths;
    paths.appDirectory = folder;
    paths.defaultSettingsPath = folder + L"\\user.brlk";
    paths.updateTempPath = folder + L"\\Brimlark.temp.exe";
    JobList jobs;
    jobs.Add({L"C:\\Users\\me\\Documents", L"D:\\Backup\\Documents", L"", L"", L"", true});
    jobs.Add({L"C:\\Users\\me\\Pictures", L"E:\\Photos backup", L"", L"", L"", true});
    jobs.Add({L"%UserProfile%\\Music", L"\\\\nas\\music", L"", L"", L"", false});
    IniFile jobIni, appIni;
    (void)SaveJob(jobIni, paths.defaultSettingsPath, jobs, BackupOptions{});
    ErrorLog log(folder + L"\\Brimlark_ErrorLog.txt");
    RunProgress progress;
    MainWindowFrame frame(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, MainWindowStart{});
    if (!frame.Open()) return 1;
    frame.window().Flush();
    CreateThread(nullptr, 0, SayReadyAfterAMoment, const_cast<wchar_t*>(readyFile), 0, nullptr);
    return frame.RunLoop();
  }
  UiWindow window;
  window.Create(L"BrimlarkShowcase", L"Brimlark window framework", 700, 340, 20, 20, kDefaultWindowStyle,
                kDefaultExtendedStyle, nullptr);
  MessageBoxWindow box;
  if (what == L"controls") MakeEveryKind(window);
  window.Show(SW_SHOW, UiWindow::kShowUpdate);
  if (what == L"box") {
    int kind = argc > 3 ? _wtoi(argv[2]) : 0;
    box.ShowBox(&window, L"Do you want to save the changes to daily.brlk?\r\n\r\nThe text of a message box wraps "
                         L"inside its margins.",
                static_cast<MessageKind>(kind), 150, 360);
  } else if (what == L"report") {
    // What the main window says after a run in which files and a whole pair failed.
    box.ShowBox(&window, FailureReport(2, 1), MessageKind::kOk, 150, 360);
  } else if (what == L"deletions") {
    // The progress window's question before a Strict run deletes most of the backup.
    box.ShowBox(&window, L"This backup would delete 15 of the 20 files in C:\\Users\\me\\Documents\\Backup of the "
                         L"documents. Delete them?",
                MessageKind::kYesNo, 150, 360);
  } else if (what == L"tip") {
    box.ShowTip(window, L"Successfully saved.\r\nThe backup settings are in daily.brlk.||Saved");
  }
  window.Flush();
  auto sayReady = [readyFile] {
    HANDLE ready = CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  };
  if (what == L"strict") {
    // The warning waits for its answer: the file says it is up once a thread has seen it on screen.
    CreateThread(nullptr, 0, SayReadyOnceWarningShows, const_cast<wchar_t*>(readyFile), 0, nullptr);
    IniFile appIni;
    (void)ConfirmStrictBackup(StrictWarningOwner{window}, appIni, UiMode::kNormal);
    return 0;
  }
  if (what == L"editor") {
    int list = AddListView(window, L"Source\nDestination\nItemId\nSourceLocation\nDestinationLocation", 10, 10, 680,
                           320, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    (void)AddListRow(window, list, L"C:\\Users\\me\\Pictures\nD:\\Backup\\Pictures\n1\n\n");
    (void)SetListRowChecked(window, list, 0, true);
    CreateThread(nullptr, 0, SayReadyOnceWarningShows, const_cast<wchar_t*>(readyFile), 0, nullptr);
    IniFile appIni;
    (void)EditPair(window, list, 0, L"", appIni);
    return 0;
  }
  if (what == L"settings" && argc > 4) {
    // The settings window on a page, for a machine where a folder of the screenshots stands for the
    // program's own.
    std::wstring folder = argv[3];
    AppPaths paths;
    paths.modulePath = folder + L"\\Brimlark.exe";
    paths.appDirectory = folder;
    paths.appIniPath = folder + L"\\Brimlark.ini";
    paths.errorLogPath = folder + L"\\Brimlark_ErrorLog.txt";
    paths.updateTempPath = folder + L"\\Brimlark.temp.exe";
    IniFile appIni;
    (void)appIni.Load(paths.appIniPath);
    auto page = static_cast<SettingsPage>(_wtoi(argv[2]));
    if (page == SettingsPage::kScheduledBackups) WriteSampleSchedules(appIni, folder);
    SettingsContext context{paths, appIni};
    CreateThread(nullptr, 0, SayReadyOnceWarningShows, const_cast<wchar_t*>(readyFile), 0, nullptr);
    (void)OpenSettingsWindow(&window, page, context);
    return 0;
  }
  if (what == L"schedule" && argc > 3) {
    // The schedule editor on a saved schedule.
    std::wstring folder = argv[2];
    AppPaths paths;
    paths.modulePath = folder + L"\\Brimlark.exe";
    paths.appDirectory = folder;
    paths.appIniPath = folder + L"\\Brimlark.ini";
    IniFile appIni;
    (void)appIni.Load(paths.appIniPath);
    WriteSampleSchedules(appIni, folder);
    CreateThread(nullptr, 0, SayReadyOnceWarningShows, const_cast<wchar_t*>(readyFile), 0, nullptr);
    std::array<WideString, 5> row;
    (void)EditSchedule(window, L"Documents every night", appIni, paths, row);
    return 0;
  }
  if (what == L"traymenu" && argc > 3) {
    // The monitor with its menu open, as a click on its icon opens it.
    std::wstring folder = argv[2];
    AppPaths paths;
    paths.modulePath = folder + L"\\Brimlark.exe";
    paths.appDirectory = folder;
    paths.appIniPath = folder + L"\\Brimlark.ini";
    window.Destroy();
    SetCursorPos(700, 500);
    IniFile appIni, jobIni;
    ErrorLog log(folder + L"\\Brimlark_ErrorLog.txt");
    RunProgress progress;
    MonitorTiming timing;
    timing.started = [](HWND monitor, const MonitorIds& ids) {
      PostMessageW(monitor, kTrayCallbackMessage, static_cast<WPARAM>(ids.trayIcon), WM_LBUTTONUP);
    };
    CreateThread(nullptr, 0, SayReadyOnceMenuShows, const_cast<wchar_t*>(readyFile), 0, nullptr);
    return RunScheduledBackupsMonitor(paths, RunEnvironment{appIni, jobIni, log, progress, 6.1}, {}, timing);
  }
  if (what == L"update") {
    // The "Auto Update" window as it downloads.
    AutoUpdateWindow update;
    if (!update.Open()) return 1;
    update.ShowDownloading();
    update.ShowPercent(40);
    CreateThread(nullptr, 0, SayReadyAfterAMoment, const_cast<wchar_t*>(readyFile), 0, nullptr);
    while (!update.CancelRequested()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    update.Close();
    return 0;
  }
  if (what == L"ftp") {
    CreateThread(nullptr, 0, SayReadyOnceWarningShows, const_cast<wchar_t*>(readyFile), 0, nullptr);
    WideString stored =
        MakeStoredForm(FtpLocation{L"backup.example.invalid", L"/pictures", L"me", L"secret", L"21", L"2"})
            .value_or(WideString());
    WideString display;
    (void)EditFtpLocation(window, stored, display);
    return 0;
  }
  sayReady();
  for (;;) {
    const UiEvent& event = window.WaitEvent();
    if (event.code == kEventClose || event.code == kEventQuit) break;
  }
  box.Close();
  window.Destroy();
  Gdiplus::GdiplusShutdown(token);
  return 0;
}
