// The entry points: each forwards to the one TraceSystem and lets no exception out.
#include "TraceSystemExports.h"

#include <string_view>

#include "TraceSystem.h"

namespace {

using zeph::tracesystem::TraceSystem;

TraceSystem& System() {
    return TraceSystem::Instance();
}

std::string_view Text(const char* text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

uint32_t Mask(int level) {
    return static_cast<uint32_t>(level);
}

int Written(int level, const char* category, const char* entry, const char* text, const void* bytes,
            int length) {
    if (category == nullptr || *category == '\0' || text == nullptr) {
        return 0;
    }
    const std::string_view dump =
        bytes != nullptr && length > 0
            ? std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(length))
            : std::string_view();
    try {
        return System().Write(Mask(level), category, Text(entry), text, dump) ? 1 : 0;
    } catch (...) {
        return 0;  // a line that cannot be built is lost
    }
}

int Status(bool ok) {
    return ok ? 0 : -1;
}

}  // namespace

extern "C" {

int ExpInitTraceSystem(void) {
    try {
        return Status(System().InitFromEnvironment());
    } catch (...) {
        return -1;
    }
}

int ExpDoneTraceSystem(void) {
    System().Done();
    return 0;
}

int ExpWrite(int level, const char* category, const char* text) {
    return Written(level, category, nullptr, text, nullptr, 0);
}

int ExpWriteEntry(int level, const char* category, const char* entry, const char* text) {
    return Written(level, category, entry, text, nullptr, 0);
}

int ExpDump(int level, const char* category, const char* text, const void* bytes, int length) {
    return Written(level, category, nullptr, text, bytes, length);
}

int ExpDumpEntry(int level, const char* category, const char* entry, const char* text,
                 const void* bytes, int length) {
    return Written(level, category, entry, text, bytes, length);
}

int ExpConfigureTrace(const char* levels, const char* categories, const char* output) {
    try {
        return Status(System().Configure(levels, categories, output));
    } catch (...) {
        return -1;
    }
}

bool ExpIsTracingEnabled(void) {
    return System().Enabled();
}

void ExpSetTracingEnabled(bool enabled) {
    System().SetEnabled(enabled);
}

void ExpSetAppTracingLevel(int mask) {
    System().SetAppLevels(Mask(mask));
}

int ExpGetAppTracingLevel(void) {
    return static_cast<int>(System().AppLevels());
}

bool ExpShouldTrace(int level) {
    return System().ShouldTrace(Mask(level));
}

bool ExpShouldTraceCategory(int level, const char* category) {
    return category != nullptr && *category != '\0' &&
           System().ShouldTraceCategory(Mask(level), category);
}

void ExpSetLevel(int mask) {
    System().SetLevels(Mask(mask));
}

int ExpGetLevel(void) {
    return static_cast<int>(System().Levels());
}

bool ExpListenerExists(const char* name) {
    return System().HasOutput(Text(name));
}

int ExpAddListener(const char* name) {
    try {
        return Status(name != nullptr && *name != '\0' && System().OpenOutput(name));
    } catch (...) {
        return -1;
    }
}

int ExpAddConsoleListener(void) {
    return ExpAddListener("stderr");
}

int ExpAddTextfileListener(const char* path) {
    return ExpAddListener(path);
}

int ExpRemoveListenerCategory(const char* name, const char* category) {
    if (System().HasOutput(Text(name))) {
        System().RemoveCategory(Text(category));
    }
    return 0;
}

int ExpRemoveListener(const char* name) {
    System().CloseOutput(Text(name));
    return 0;
}

int ExpRemoveCategory(const char* category) {
    System().RemoveCategory(Text(category));
    return 0;
}

int ExpRemoveAllCategories(void) {
    System().RemoveAllCategories();
    return 0;
}

}  // extern "C"
