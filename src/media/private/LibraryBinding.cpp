#include "media/private/LibraryBinding.h"

#include <dlfcn.h>

#include <array>

namespace VELAVCODEC {
namespace {

const char kPrefix[] = "[VelAvCodec::VelAvCodec] ";

struct LibraryInfo {
  const char* shortName;     // the name the messages use
  const char* fallbackPath;  // loaded for an empty name
  const char* versionSymbol;
  unsigned expectedMajor;  // of the headers the program was built with
};

LibraryInfo Describe(Library library) {
  switch (library) {
    case Library::Codec:
      return {"avcodec.dll", "./dll/libavcodec.so", "avcodec_version", LIBAVCODEC_VERSION_MAJOR};
    case Library::Format:
      return {"avformat.dll", "./dll/libavformat.so", "avformat_version",
              LIBAVFORMAT_VERSION_MAJOR};
    case Library::Util:
      return {"avutil.dll", "./dll/libavutil.so", "avutil_version", LIBAVUTIL_VERSION_MAJOR};
    case Library::Scale:
      break;
  }
  return {"scale.dll", "./dll/libswscale.so", "swscale_version", LIBSWSCALE_VERSION_MAJOR};
}

void*& HandleOf(Library library, LibraryHandles& handles) {
  switch (library) {
    case Library::Codec:
      return handles.AvCodec;
    case Library::Format:
      return handles.AvFormat;
    case Library::Util:
      return handles.AvUtil;
    case Library::Scale:
      break;
  }
  return handles.SwScale;
}

// A library of another major version has other structure layouts: the first
// call into it would read garbage, so it is refused while loading.
std::string CheckVersion(void* handle, const LibraryInfo& info, const std::string& path) {
  using VersionFunction = unsigned (*)();
  auto version = reinterpret_cast<VersionFunction>(dlsym(handle, info.versionSymbol));
  if (version == nullptr) return {};  // reported with the other missing entry points
  const unsigned major = version() >> 16;
  if (major == info.expectedMajor) return {};
  return kPrefix + std::string(info.shortName) + " (" + path + ") has version " +
         std::to_string(major) + ", " + std::to_string(info.expectedMajor) + " needed";
}

std::string Load(Library library, const std::string& name, LibraryHandles& handles) {
  const LibraryInfo info = Describe(library);
  const std::string path = LibraryPath(library, name);
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return kPrefix + std::string(info.shortName) + " not found";
  HandleOf(library, handles) = handle;
  return CheckVersion(handle, info, path);
}

bool LookUpAll(const LibraryHandles& handles, EntryPoints& table) {
  bool complete = true;
  auto find = [&](Library library, const char* name) -> void* {
    void* handle = HandleOf(library, const_cast<LibraryHandles&>(handles));
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) complete = false;
    return symbol;
  };
#define VELAVCODEC_LOOK_UP(name, library) \
  table.name = reinterpret_cast<decltype(table.name)>(find(Library::library, #name));
  VELAVCODEC_ENTRY_POINTS(VELAVCODEC_LOOK_UP)
#undef VELAVCODEC_LOOK_UP
  return complete;
}

}  // namespace

std::string LibraryPath(Library library, const std::string& name) {
  return name.empty() ? Describe(library).fallbackPath : name;
}

std::string BindLibraries(const std::string& avcodec, const std::string& avformat,
                          const std::string& avutil, const std::string& swscale,
                          LibraryHandles& handles, EntryPoints& table) {
  const std::array<std::pair<Library, const std::string*>, 4> order = {{
      {Library::Codec, &avcodec},
      {Library::Format, &avformat},
      {Library::Util, &avutil},
      {Library::Scale, &swscale},
  }};
  for (const auto& [library, name] : order) {
    std::string error = Load(library, *name, handles);
    if (!error.empty()) {
      UnloadLibraries(handles);
      return error;
    }
  }
  if (!LookUpAll(handles, table)) {
    UnloadLibraries(handles);
    table = EntryPoints();
    return std::string(kPrefix) + "Cant't load all library functions!";
  }
  return {};
}

void UnloadLibraries(LibraryHandles& handles) {
  for (void** handle : {&handles.AvFormat, &handles.AvCodec, &handles.AvUtil, &handles.SwScale}) {
    if (*handle != nullptr) dlclose(*handle);
    *handle = nullptr;
  }
}

}  // namespace VELAVCODEC
