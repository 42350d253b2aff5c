#include "schedule/LogonTask.h"

#include "base/ComOwner.h"
#include "engine/ForceDelete.h"

#include <oleauto.h>
#include <taskschd.h>

namespace {

constexpr HRESULT kNoSuchTask = static_cast<HRESULT>(0x80070002);

thread_local LogonTaskFailure lastFailure;

bool Succeeded(HRESULT result, const wchar_t* step) {
  if (SUCCEEDED(result)) return true;
  lastFailure = {step, result};
  return false;
}

// One BSTR for the length of a call. A failed allocation reads as E_OUTOFMEMORY at the call that needs it.
class Bstr {
 public:
  explicit Bstr(WideView text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  [[nodiscard]] bool valid() const { return value_ != nullptr; }
  [[nodiscard]] BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// Sets one text property, with out-of-memory reported like any other COM failure.
template <typename Object, typename Setter>
bool PutText(Object* object, Setter setter, WideView text, const wchar_t* step) {
  Bstr value(text);
  if (!value.valid()) return Succeeded(E_OUTOFMEMORY, step);
  return Succeeded((object->*setter)(value.get()), step);
}

struct TaskStore {
  ComOwner<ITaskService> service;
  ComOwner<ITaskFolder> root;
};

// The Task Scheduler service, connected to this computer as the current user, and its root folder.
std::optional<TaskStore> ConnectTaskStore() {
  ITaskService* rawService = nullptr;
  if (!Succeeded(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  reinterpret_cast<void**>(&rawService)),
                 L"CoCreateInstance(TaskScheduler)")) {
    return std::nullopt;
  }
  TaskStore store;
  store.service.reset(rawService);
  VARIANT empty;
  VariantInit(&empty);
  if (!Succeeded(store.service->Connect(empty, empty, empty, empty), L"ITaskService::Connect")) return std::nullopt;
  Bstr rootPath(L"\\");
  if (!rootPath.valid()) {
    (void)Succeeded(E_OUTOFMEMORY, L"ITaskService::GetFolder");
    return std::nullopt;
  }
  ITaskFolder* root = nullptr;
  if (!Succeeded(store.service->GetFolder(rootPath.get(), &root), L"ITaskService::GetFolder")) return std::nullopt;
  store.root.reset(root);
  return store;
}

// The definition is filled in the order registration info, principal, settings, trigger, action.
bool FillDefinition(ITaskDefinition* definition, const std::vector<WideString>& parts) {
  {
    IRegistrationInfo* raw = nullptr;
    if (!Succeeded(definition->get_RegistrationInfo(&raw), L"get_RegistrationInfo")) return false;
    ComOwner<IRegistrationInfo> info(raw);
    wchar_t user[257] = {};
    DWORD length = 257;
    if (!GetUserNameW(user, &length)) user[0] = L'\0';
    if (!PutText(info.get(), &IRegistrationInfo::put_Author, text::View(user), L"put_Author")) return false;
    if (!PutText(info.get(), &IRegistrationInfo::put_Description, parts[1], L"put_Description")) return false;
  }
  {
    IPrincipal* raw = nullptr;
    if (!Succeeded(definition->get_Principal(&raw), L"get_Principal")) return false;
    ComOwner<IPrincipal> principal(raw);
    if (!PutText(principal.get(), &IPrincipal::put_Id, L"Principal1", L"IPrincipal::put_Id")) return false;
    if (!Succeeded(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST), L"IPrincipal::put_RunLevel")) return false;
  }
  {
    ITaskSettings* raw = nullptr;
    if (!Succeeded(definition->get_Settings(&raw), L"get_Settings")) return false;
    ComOwner<ITaskSettings> settings(raw);
    if (!Succeeded(settings->put_StartWhenAvailable(VARIANT_TRUE), L"put_StartWhenAvailable")) return false;
    if (!Succeeded(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE), L"put_DisallowStartIfOnBatteries")) {
      return false;
    }
    if (!Succeeded(settings->put_StopIfGoingOnBatteries(VARIANT_FALSE), L"put_StopIfGoingOnBatteries")) return false;
  }
  {
    ITriggerCollection* rawTriggers = nullptr;
    if (!Succeeded(definition->get_Triggers(&rawTriggers), L"get_Triggers")) return false;
    ComOwner<ITriggerCollection> triggers(rawTriggers);
    ITrigger* rawTrigger = nullptr;
    if (!Succeeded(triggers->Create(TASK_TRIGGER_LOGON, &rawTrigger), L"ITriggerCollection::Create(logon)")) {
      return false;
    }
    ComOwner<ITrigger> trigger(rawTrigger);
    if (!PutText(trigger.get(), &ITrigger::put_Id, L"Trigger1", L"ITrigger::put_Id")) return false;
    // The time part as the monitor builds it ends in blanks, which are no part of a date-time.
    WideString boundary = text::Concat(text::Trim(parts[4]), L"T", text::Trim(parts[5]));
    if (!PutText(trigger.get(), &ITrigger::put_StartBoundary, boundary, L"put_StartBoundary")) return false;
  }
  {
    IActionCollection* rawActions = nullptr;
    if (!Succeeded(definition->get_Actions(&rawActions), L"get_Actions")) return false;
    ComOwner<IActionCollection> actions(rawActions);
    IAction* rawAction = nullptr;
    if (!Succeeded(actions->Create(TASK_ACTION_EXEC, &rawAction), L"IActionCollection::Create(exec)")) return false;
    ComOwner<IAction> action(rawAction);
    IExecAction* rawExec = nullptr;
    if (!Succeeded(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(&rawExec)),
                   L"QueryInterface(IExecAction)")) {
      return false;
    }
    ComOwner<IExecAction> exec(rawExec);
    if (!PutText(exec.get(), &IExecAction::put_Id, L"Action1", L"IExecAction::put_Id")) return false;
    if (!PutText(exec.get(), &IExecAction::put_Path, parts[2], L"IExecAction::put_Path")) return false;
    if (!PutText(exec.get(), &IExecAction::put_Arguments, parts[3], L"IExecAction::put_Arguments")) return false;
    if (!PutText(exec.get(), &IExecAction::put_WorkingDirectory, LogonTaskWorkingFolder(parts[2]),
                 L"IExecAction::put_WorkingDirectory")) {
      return false;
    }
  }
  return true;
}

// A name given as the path of a task file is looked up by its part below the Tasks folder.
WideString LookupName(WideView name) {
  WideString lower = text::ToLower(name);
  size_t tasks = lower.find(L"\\tasks\\");
  if (lower.find(L":\\") == WideString::npos || tasks == WideString::npos) return WideString(name);
  return WideString(name.substr(tasks + 7));
}

}  // namespace

LogonTaskFailure LastLogonTaskFailure() { return lastFailure; }

std::optional<std::vector<WideString>> SplitLogonTaskRequest(WideView request) {
  std::vector<WideString> parts = text::Split(request, kLogonTaskSeparator);
  if (parts.size() != 6) return std::nullopt;
  return parts;
}

WideString LogonTaskWorkingFolder(WideView programPath) {
  WideView path = programPath;
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  size_t last = path.rfind(L'\\');
  if (last == WideView::npos || last < 3) return WideString(path);
  return WideString(path.substr(0, last));
}

bool RegisterLogonTask(WideView request) {
  lastFailure = {};
  auto parts = SplitLogonTaskRequest(request);
  if (!parts) {
    lastFailure = {L"request", E_INVALIDARG};
    return false;
  }
  ComSession com;
  auto store = ConnectTaskStore();
  if (!store) return false;
  Bstr name((*parts)[0]);
  if (!name.valid()) return Succeeded(E_OUTOFMEMORY, L"task name");
  // Removed first, so that a changed program path replaces the old definition.
  (void)store->root->DeleteTask(name.get(), 0);
  ITaskDefinition* rawDefinition = nullptr;
  if (!Succeeded(store->service->NewTask(0, &rawDefinition), L"ITaskService::NewTask")) return false;
  ComOwner<ITaskDefinition> definition(rawDefinition);
  if (!FillDefinition(definition.get(), *parts)) return false;

  VARIANT empty;
  VariantInit(&empty);
  Bstr emptyText(L"");
  if (!emptyText.valid()) return Succeeded(E_OUTOFMEMORY, L"security descriptor");
  VARIANT descriptor;
  VariantInit(&descriptor);
  descriptor.vt = VT_BSTR;
  descriptor.bstrVal = emptyText.get();
  IRegisteredTask* rawRegistered = nullptr;
  HRESULT result = store->root->RegisterTaskDefinition(name.get(), definition.get(), TASK_CREATE_OR_UPDATE, empty, empty,
                                                TASK_LOGON_INTERACTIVE_TOKEN, descriptor, &rawRegistered);
  ComOwner<IRegisteredTask> registered(rawRegistered);
  if (result != S_OK) {
    lastFailure = {L"ITaskFolder::RegisterTaskDefinition", FAILED(result) ? result : E_FAIL};
    return false;
  }
  return true;
}

std::optional<WideString> RegisteredMonitorProgram() {
  lastFailure = {};
  ComSession com;
  auto store = ConnectTaskStore();
  if (!store) return std::nullopt;
  Bstr name(LookupName(kLogonTaskName));
  if (!name.valid()) return std::nullopt;
  IRegisteredTask* rawTask = nullptr;
  if (!Succeeded(store->root->GetTask(name.get(), &rawTask), L"ITaskFolder::GetTask") || !rawTask) return std::nullopt;
  ComOwner<IRegisteredTask> task(rawTask);
  ITaskDefinition* rawDefinition = nullptr;
  if (!Succeeded(task->get_Definition(&rawDefinition), L"get_Definition") || !rawDefinition) return std::nullopt;
  ComOwner<ITaskDefinition> definition(rawDefinition);
  IActionCollection* rawActions = nullptr;
  if (!Succeeded(definition->get_Actions(&rawActions), L"get_Actions") || !rawActions) return std::nullopt;
  ComOwner<IActionCollection> actions(rawActions);
  LONG count = 0;
  if (!Succeeded(actions->get_Count(&count), L"IActionCollection::get_Count")) return std::nullopt;
  for (LONG index = 1; index <= count; ++index) {  // the collection counts from 1
    IAction* rawAction = nullptr;
    if (FAILED(actions->get_Item(index, &rawAction)) || !rawAction) continue;
    ComOwner<IAction> action(rawAction);
    TASK_ACTION_TYPE type{};
    if (FAILED(action->get_Type(&type)) || type != TASK_ACTION_EXEC) continue;
    IExecAction* rawExec = nullptr;
    if (FAILED(action->QueryInterface(IID_IExecAction, reinterpret_cast<void**>(&rawExec))) || !rawExec) continue;
    ComOwner<IExecAction> exec(rawExec);
    BSTR path = nullptr;
    if (!Succeeded(exec->get_Path(&path), L"IExecAction::get_Path")) return std::nullopt;
    WideString result(text::View(path));
    SysFreeString(path);
    return result;
  }
  return std::nullopt;
}

bool DeleteLogonTask() {
  lastFailure = {};
  {
    ComSession com;
    if (auto store = ConnectTaskStore()) {
      Bstr name(kLogonTaskName);
      HRESULT result = name.valid() ? store->root->DeleteTask(name.get(), 0) : E_OUTOFMEMORY;
      if (result == S_OK || result == kNoSuchTask) return true;
      lastFailure = {L"ITaskFolder::DeleteTask", result};
    }
  }
  // The scheduler refused or is not there: the task's file in the system's Tasks folder goes instead.
  wchar_t system[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  WideString taskFile = text::Concat(WideView(system, length), L"\\Tasks\\", kLogonTaskName);
  return ForceDelete(taskFile, 0) != ForceDeleteResult::kFailed;
}
