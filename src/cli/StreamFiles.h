#pragma once

// Sources and outputs that are not files: standard input as a source, pipes
// and terminals as outputs.
#include <string>
#include <string_view>

namespace STREAMFILES {

// The name the decoder opens for a source: "-" is standard input.
std::string SourcePath(const std::string& given);

// Empty when the output can be written there, else why not: every output
// file is completed by seeking back to its headers, which a pipe or a
// terminal (and "-", standard output, which also carries the log) cannot do.
std::string OutputProblem(const std::string& output);

// Empty when the source can be read, else why not. Reading a pipe takes its
// bytes, so the decoder cannot seek back: an MP4 or MOV file whose index
// comes after its pictures cannot be read from one. A source that is the
// program's standard input is looked at without taking anything from it.
std::string PipedSourceProblem(const std::string& source);

// What the first bytes of a file tell of its top-level boxes: whether it is
// an MP4 or MOV file whose media data comes before its index. Anything that
// is not such a file is Readable.
enum class Layout { NeedMoreBytes, Readable, IndexAfterMedia };
Layout LayoutOf(std::string_view head);

// Whether reading the file takes its bytes (a pipe, a socket, a terminal).
bool IsStream(const std::string& path);

}  // namespace STREAMFILES
