#pragma once
#include <windows.h>
#include <commdlg.h>
#include "app/settings.h"

// The size the dialog is told: the record without its three trailing fields,
// which every version of the dialog accepts.
constexpr DWORD RequestRecordSize = 76;

// Fills `request` for `settings`, with the filter list and selection buffer
// already built. Every field not set here is zero.
void FillRequest(OPENFILENAMEA& request, const DialogSettings& settings, char* filterBlock,
                 char* selectionBuffer);
