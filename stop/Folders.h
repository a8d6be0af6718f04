// How the tool finds the installation: from the "-Dinstall.dir=" option or from its own path,
// which lies in <applicationFolder>\infra\tomcat\bin in the installed layout.
#pragma once

#include <string>

namespace qvstop {

// The buffers of the path calls hold 1024 bytes.
constexpr std::size_t kPathBufferSize = 1024;

extern const char kInstallDirOption[]; // "-Dinstall.dir="

std::string lowerAscii(std::string text);

// `commandLine` is the part after the program name; `ownPath` the tool's full path, empty when
// it could not be read. Empty result: the tool does nothing.
std::string applicationFolderFor(const std::string &commandLine, const std::string &ownPath);

// Up to, not including, the last backslash; the whole folder when there is none.
std::string installationFolderOf(const std::string &applicationFolder);

std::string serverXmlPath(const std::string &applicationFolder);
std::string stopStampPath(const std::string &applicationFolder);
std::string javaExePath(const std::string &installationFolder);
std::string javawExePath(const std::string &installationFolder);

} // namespace qvstop
