// The application's Qt resources (icons, style sheets, logos, lookup tables).
#pragma once

// Registers the resources compiled into the rastel_app library. Idempotent and
// thread safe; needed because a static library's resource initialiser is dropped
// by the linker unless something refers to it.
void initRastelResources();
