// Notification codes the list, header and tab controls share. The list
// view's clicks carry an NMITEMACTIVATE record, the tab control's a bare
// NMHDR; custom drawing carries NMLVCUSTOMDRAW.
#pragma once

#include "platform/win/types.h"

constexpr UINT NM_FIRST = 0u;
constexpr UINT NM_CLICK = NM_FIRST - 2;  // NMITEMACTIVATE
constexpr UINT NM_DBLCLK = NM_FIRST - 3; // NMITEMACTIVATE
constexpr UINT NM_RETURN = NM_FIRST - 4;
constexpr UINT NM_RCLICK = NM_FIRST - 5;  // NMITEMACTIVATE
constexpr UINT NM_RDBLCLK = NM_FIRST - 6; // NMITEMACTIVATE
constexpr UINT NM_SETFOCUS = NM_FIRST - 7;
constexpr UINT NM_KILLFOCUS = NM_FIRST - 8;
constexpr UINT NM_CUSTOMDRAW = NM_FIRST - 12; // NMLVCUSTOMDRAW; answer CDRF_*
