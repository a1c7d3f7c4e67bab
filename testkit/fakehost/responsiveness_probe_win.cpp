#include "testkit/fakehost/responsiveness_probe_win.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "testkit/fakehost/host_state_win.h"

namespace {

constexpr UINT kAnswerLimitMs = 60000;
constexpr long kSlowMs = 100;

struct Probe {
  HWND window = nullptr;
  DWORD everyMs = 0;
  std::atomic<bool> running{false};
  std::atomic<bool> saving{false};
  std::atomic<long> saves{0};  // the host's saves begun so far
  long counted = 0;
  long longestMs = 0;
  long longestAtMs = 0;  // when the longest answer was asked for, from the probe's start
  long slow = 0;         // answers that took more than kSlowMs
  long leftOut = 0;
  HANDLE thread = nullptr;
};

Probe& TheProbe() {
  static Probe probe;
  return probe;
}

double NowMs() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

DWORD WINAPI Run(void*) {
  Probe& probe = TheProbe();
  const double start = NowMs();
  while (probe.running) {
    const long savesBefore = probe.saves;
    const bool savingBefore = probe.saving;
    const double sent = NowMs();
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(probe.window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &answer);
    const long waited = static_cast<long>(NowMs() - sent);
    if (savingBefore || probe.saving || probe.saves != savesBefore) {
      ++probe.leftOut;
    } else {
      ++probe.counted;
      if (waited > kSlowMs) ++probe.slow;
      if (waited > probe.longestMs) {
        probe.longestMs = waited;
        probe.longestAtMs = static_cast<long>(sent - start);
      }
    }
    Sleep(probe.everyMs);
  }
  return 0;
}

}  // namespace

void StartResponsivenessProbe(HostState& host) {
  Probe& probe = TheProbe();
  const long long every = host.scenario.Number("probeEvery", 0);
  if (every <= 0 || probe.thread) return;
  probe.window = host.mainWindow;
  probe.everyMs = static_cast<DWORD>(every);
  probe.running = true;
  probe.thread = CreateThread(nullptr, 0, Run, nullptr, 0, nullptr);
}

void StopResponsivenessProbe(HostState& host) {
  Probe& probe = TheProbe();
  if (!probe.thread || !probe.running) return;
  probe.running = false;
  // The probe's last message may wait for this very thread: it is answered while we wait.
  while (MsgWaitForMultipleObjects(1, &probe.thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  host.journal.Write("probe " + std::to_string(probe.counted) + " " + std::to_string(probe.longestMs) + " " +
                     std::to_string(probe.longestAtMs) + " " + std::to_string(probe.slow) + " " +
                     std::to_string(probe.leftOut));
}

void NoteHostSaving(bool saving) {
  Probe& probe = TheProbe();
  if (saving) ++probe.saves;
  probe.saving = saving;
}
