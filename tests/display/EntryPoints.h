// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The display library's nine entry points, for the tests that link the
// library and call it as the program does.
#pragma once

#include "scope/ScopeApi.h"

#include <cstdint>

extern "C" {
void AtOpenLib(int32_t);
int32_t ScopeCreate(int32_t, int32_t, const char*);
void ScopeDestroy(int32_t);
void ScopeShow(int32_t);
void ScopeHide(int32_t);
void ShowNext(int32_t, const ScopePoint*);
int32_t ExternalNext(int32_t, const ScopePoint*, int32_t);
void ScopeCleanBuffers(int32_t);
void QuickUpDate(int32_t);
}
