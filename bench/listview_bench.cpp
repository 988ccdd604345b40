// A report-view list of 10,000 rows in four columns, as the download list
// shows them: a full repaint of the window, and a page of scrolling with the
// repaint it causes. The time per iteration is the time per repaint.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/win/controls/listtabs.h"
#include "platform/win/controls/listview.h"
#include "platform/win/paint.h"
#include "platform/win/queue.h"
#include "platform/win/scroll.h"
#include "platform/win/window.h"

namespace {

constexpr int kRows = 10000;

struct ListWindow {
    HWND top = 0;
    HWND list = 0;
    ListWindow() {
        RegisterListAndTabControls();
        if (!GetClassInfo(nullptr, "BenchHost", nullptr)) {
            WNDCLASS wc;
            wc.lpfnWndProc = DefWindowProc;
            wc.lpszClassName = "BenchHost";
            RegisterClass(wc);
        }
        top = CreateWindowEx(0, "BenchHost", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, 0, 0,
                             nullptr, nullptr);
        list = CreateWindowEx(WS_EX_CLIENTEDGE, WC_LISTVIEW, "",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 800,
                              600, top, 1, nullptr, nullptr);
        SendMessage(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
        const char* captions[] = {"Title", "Save Location", "Length", "Status"};
        for (int c = 0; c < 4; ++c) {
            LVCOLUMN col;
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.text = const_cast<char*>(captions[c]);
            col.cx = c == 1 ? 320 : 150;
            SendMessage(list, LVM_INSERTCOLUMN, WPARAM(c), reinterpret_cast<LPARAM>(&col));
        }
        SendMessage(list, WM_SETREDRAW, 0, 0);
        for (int i = 0; i < kRows; ++i) {
            std::string title = "Song number " + std::to_string(i);
            LVITEM it;
            it.mask = LVIF_TEXT;
            it.item = i;
            it.text = title.data();
            SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
            std::string subs[] = {"/home/user/Music/" + title + ".mp3", "03:45", "Downloading"};
            for (int s = 0; s < 3; ++s) {
                it.subItem = s + 1;
                it.text = subs[s].data();
                SendMessage(list, LVM_SETITEMTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&it));
            }
        }
        LVITEM sel;
        sel.state = sel.stateMask = LVIS_SELECTED;
        SendMessage(list, LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&sel));
        SendMessage(list, WM_SETREDRAW, 1, 0);
        UpdateWindow(top);
    }
    ~ListWindow() { DestroyWindow(top); }
};

void BM_ListViewRepaint(benchmark::State& state) {
    ListWindow w;
    for (auto _ : state) {
        InvalidateRect(w.list, nullptr, 1);
        UpdateWindow(w.list);
    }
    state.counters["rows"] = double(SendMessage(w.list, LVM_GETCOUNTPERPAGE, 0, 0));
}
BENCHMARK(BM_ListViewRepaint)->Unit(benchmark::kMillisecond);

void BM_ListViewScrollPage(benchmark::State& state) {
    ListWindow w;
    bool down = true;
    for (auto _ : state) {
        SendMessage(w.list, WM_VSCROLL, down ? SB_PAGEDOWN : SB_PAGEUP, 0);
        UpdateWindow(w.list);
        int top = int(SendMessage(w.list, LVM_GETTOPINDEX, 0, 0));
        if (top >= kRows - 100) down = false;
        if (top == 0) down = true;
    }
}
BENCHMARK(BM_ListViewScrollPage)->Unit(benchmark::kMillisecond);

void BM_ListViewScrollToEnd(benchmark::State& state) {
    ListWindow w;
    for (auto _ : state) {
        SendMessage(w.list, WM_VSCROLL, SB_BOTTOM, 0);
        UpdateWindow(w.list);
        SendMessage(w.list, WM_VSCROLL, SB_TOP, 0);
        UpdateWindow(w.list);
    }
}
BENCHMARK(BM_ListViewScrollToEnd)->Unit(benchmark::kMillisecond);

} // namespace
