// The thread's message queue and window timers, as the device provides them.
//
// One thread owns the queue. Messages come out in this order: posted messages
// (oldest first), then the quit request of PostQuitMessage, then WM_TIMER for due
// timers (earliest first). A timer message is made when it is taken, never queued,
// so a timer that is late by several periods still gives one message. GetMessageW
// waits in poll() for the next posted message, due timer or registered descriptor
// (platform/windowing/message_loop.h): an idle program uses no processor time.
#pragma once

#include "platform/core/types.h"
#include "platform/windowing/window.h" // the WM_ message numbers

using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// PeekMessageW options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Periods below the minimum are raised to it, so that a period of 0 cannot make the
// loop spin; periods above the maximum are lowered to it.
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// The most posted messages a queue holds; PostMessageW fails beyond it.
constexpr std::size_t kPostedMessageLimit = 10000;

constexpr LONG ERROR_INVALID_THREAD_ID = 1444;
constexpr LONG ERROR_NOT_ENOUGH_QUOTA = 1816;

// Creates or replaces the timer `timerId` of `window`; its first message is due one
// period from now. With a null window the id is chosen by the call (a given id that
// names an existing timer of the thread replaces that timer). Each message carries
// the procedure in lParam; DispatchMessageW calls it, or without a procedure sends
// WM_TIMER to the window procedure. Returns the timer's id (nonzero), or 0 with
// ERROR_INVALID_WINDOW_HANDLE for a window that does not exist.
UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT period, TIMERPROC procedure);

// Removes a timer. Returns FALSE with ERROR_INVALID_PARAMETER when there is none.
// Timers of a destroyed window are removed with it.
BOOL KillTimer(HWND window, UINT_PTR timerId);

// Takes the next message for `window` (null: any window of the thread and thread
// messages; (HWND)-1: thread messages only) in the range first..last (0, 0: all),
// waiting as long as needed. Returns 0 for WM_QUIT, -1 for a null record, an
// invalid window or a wait that can never end (the manual clock is in use and
// nothing is due, queued or registered), else nonzero.
BOOL GetMessageW(MSG* message, HWND window, UINT first, UINT last);

// As GetMessageW, without waiting: FALSE when nothing is ready. PM_REMOVE takes the
// message; PM_NOREMOVE leaves it (a timer stays due).
BOOL PeekMessageW(MSG* message, HWND window, UINT first, UINT last, UINT options);

// Key messages would be turned into character messages here. This window system
// receives no keyboard input of its own (the program only produces keystrokes), and a
// posted key message carries no keyboard state to translate, so it always returns
// FALSE and posts nothing.
BOOL TranslateMessage(const MSG* message);

// Delivers a message: WM_TIMER with a procedure in lParam calls that procedure when
// it is the current procedure of that timer (a stale or forged one is dropped and
// returns 0); everything else goes to the window procedure as SendMessageW would.
// Thread messages (null window) are not delivered and return 0.
LRESULT DispatchMessageW(const MSG* message);

// Queues a message for a window of the thread, or with a null window a thread
// message. FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that does not exist,
// or ERROR_NOT_ENOUGH_QUOTA when the queue is full.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Queues a thread message; only the calling thread's id names a queue here.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

DWORD GetCurrentThreadId();

// Asks the loop to end: GetMessageW returns 0 once the posted messages before it
// are taken. The exit code is the WM_QUIT message's wParam.
void PostQuitMessage(int exitCode);

// Arguments and results of MsgWaitForMultipleObjectsEx.
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD QS_POSTMESSAGE = 0x0008;
constexpr DWORD QS_TIMER = 0x0010;
constexpr DWORD QS_ALLPOSTMESSAGE = 0x0100;
constexpr DWORD QS_ALLINPUT = 0x04FF;
constexpr DWORD MWMO_INPUTAVAILABLE = 0x0004;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Sleeps until one of the handles is signalled, the queue holds what `wakeMask`
// asks for, or `milliseconds` have passed (INFINITE: no limit; 0: just looks).
//
// Handles: a serial port (CreateFileW "COMn:") is signalled while input waits for
// it, in the port's receive buffer or in the device; it is the only kind of handle
// that can be waited on here. A device that went away is not signalled.
// Mask: QS_POSTMESSAGE or QS_ALLPOSTMESSAGE wake for a posted message or the quit
// request, QS_TIMER for a due timer; QS_ALLINPUT has all three. Input already in
// the queue counts, as MWMO_INPUTAVAILABLE asks (the only flag accepted; 0 behaves
// the same). Nothing is taken from the queue. While it sleeps, the loop's wait
// sources and wait hook are served as in GetMessageW, so a message they post ends
// the wait; with a mask of 0 they are left alone too.
// Returns WAIT_OBJECT_0 + i for the first signalled handle i, WAIT_OBJECT_0 +
// count for queue input, WAIT_TIMEOUT, or WAIT_FAILED with ERROR_INVALID_HANDLE
// (not a port), ERROR_INVALID_PARAMETER (count, handles or flags), or
// ERROR_TIMEOUT (the manual clock is in use and nothing could end the wait).
// With the manual clock nothing waits for real time: the clock is moved to the
// earliest of the time limit, the next due timer and the next scheduled input of
// an in-memory device.
DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags);
