// The source that the method traces of the dump operations name.
#pragma once

namespace ExceptionTranslator {

inline constexpr const char16_t* kDumpSource =
    u"BasisLibs_MitTracing\\ExceptionTranslatorLib\\DumpHistorie";

}  // namespace ExceptionTranslator
