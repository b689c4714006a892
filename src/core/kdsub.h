#pragma once
// The shared unit: option records, text and identifier helpers, message boxes, SQL text
// analysis and catalog SQL. Each area has its own header; this one gathers them so that a
// window includes one header for all shared routines.
#if __has_include("core/kdsub_options.h")
#include "core/kdsub_options.h"
#endif
#if __has_include("core/kdsub_text.h")
#include "core/kdsub_text.h"
#endif
#if __has_include("core/kdsub_msg.h")
#include "core/kdsub_msg.h"
#endif
#if __has_include("core/kdsub_object.h")
#include "core/kdsub_object.h"
#endif
#if __has_include("core/kdsub_catalog.h")
#include "core/kdsub_catalog.h"
#endif
#if __has_include("core/kdsub_service.h")
#include "core/kdsub_service.h"
#endif
#if __has_include("core/kdsub_sql.h")
#include "core/kdsub_sql.h"
#endif
#if __has_include("core/kdsub_start.h")
#include "core/kdsub_start.h"
#endif
