#include "ui/Subclassing.h"

#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct Hook {
  SUBCLASSPROC procedure;
  UINT_PTR id;
  DWORD_PTR reference;
};

struct Chain {
  WNDPROC original = nullptr;
  std::vector<Hook> hooks;  // in the order installed; a removed hook stays as a null procedure until idle
  ptrdiff_t next = -1;      // the hook the message now being handled goes to next (the last installed first)
  int depth = 0;            // messages of this window being handled (sent messages nest)
  bool destroyed = false;
};

// Elements of an unordered map stay where they are when it grows, so a chain in use is never moved. Only
// the window's own thread (or an idle chain) removes one.
std::mutex chainsLock;
std::unordered_map<HWND, Chain> chains;

Chain* ChainOf(HWND window) {
  std::lock_guard lock(chainsLock);
  auto found = chains.find(window);
  return found == chains.end() ? nullptr : &found->second;
}

LRESULT CallFrom(HWND window, Chain& chain, UINT message, WPARAM wParam, LPARAM lParam) {
  while (chain.next >= 0) {
    const Hook hook = chain.hooks[static_cast<size_t>(chain.next--)];
    if (hook.procedure) return hook.procedure(window, message, wParam, lParam, hook.id, hook.reference);
  }
  return CallWindowProcW(chain.original, window, message, wParam, lParam);
}

// Puts the window's own procedure back and forgets the chain once nothing uses it.
void ForgetIfIdle(HWND window, Chain& chain, WNDPROC ours) {
  if (chain.depth > 0) return;
  std::erase_if(chain.hooks, [](const Hook& hook) { return !hook.procedure; });
  if (!chain.hooks.empty() && !chain.destroyed) return;
  if (!chain.destroyed && reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == ours) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chain.original));
  }
  std::lock_guard lock(chainsLock);
  chains.erase(window);
}

LRESULT CALLBACK ChainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Chain* chain = ChainOf(window);
  if (!chain) return DefWindowProcW(window, message, wParam, lParam);
  ptrdiff_t outerNext = chain->next;
  ++chain->depth;
  chain->next = static_cast<ptrdiff_t>(chain->hooks.size()) - 1;
  LRESULT result = CallFrom(window, *chain, message, wParam, lParam);
  chain->next = outerNext;
  --chain->depth;
  if (message == WM_NCDESTROY) chain->destroyed = true;
  ForgetIfIdle(window, *chain, ChainProcedure);
  return result;
}

}  // namespace

bool InstallSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR reference) {
  if (!window || !procedure) return false;
  Chain* chain = ChainOf(window);
  if (!chain) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (!original) return false;
    {
      std::lock_guard lock(chainsLock);
      chain = &chains[window];
    }
    chain->original = original;
    if (!SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChainProcedure))) {
      std::lock_guard lock(chainsLock);
      chains.erase(window);
      return false;
    }
  }
  for (Hook& hook : chain->hooks) {
    if (hook.procedure == procedure && hook.id == id) {
      hook.reference = reference;
      return true;
    }
  }
  // Installed while a message is being handled, it sees only the messages that come after.
  chain->hooks.push_back(Hook{procedure, id, reference});
  return true;
}

bool RemoveSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
  Chain* chain = ChainOf(window);
  if (!chain) return false;
  for (Hook& hook : chain->hooks) {
    if (hook.procedure == procedure && hook.id == id) {
      hook.procedure = nullptr;
      ForgetIfIdle(window, *chain, ChainProcedure);
      return true;
    }
  }
  return false;
}

LRESULT CallNextProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Chain* chain = ChainOf(window);
  if (!chain) return DefWindowProcW(window, message, wParam, lParam);
  // A message the procedure sends itself starts again at the top of the chain; this one goes on below.
  return CallFrom(window, *chain, message, wParam, lParam);
}
