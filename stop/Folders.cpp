#include "Folders.h"

namespace qvstop {

const char kInstallDirOption[] = "-Dinstall.dir=";

namespace {
const char kToolFolder[] = "\\infra\\tomcat\\bin";
}

std::string lowerAscii(std::string text) {
    // ASCII only: the path is in the system code page, whose upper half must stay untouched.
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string applicationFolderFor(const std::string &commandLine, const std::string &ownPath) {
    const std::string option = kInstallDirOption;
    if (commandLine.compare(0, option.size(), option) == 0)
        return commandLine.substr(option.size()) + "\\aplicacao";

    // The folder name is searched with the backslash in front of it, so that the result is the
    // whole parent folder and never a name cut short.
    const std::string lowered = lowerAscii(ownPath);
    const std::size_t at = lowered.find(kToolFolder);
    if (at == std::string::npos)
        return {};
    return lowered.substr(0, at);
}

std::string installationFolderOf(const std::string &applicationFolder) {
    const std::size_t slash = applicationFolder.rfind('\\');
    return slash == std::string::npos ? applicationFolder : applicationFolder.substr(0, slash);
}

std::string serverXmlPath(const std::string &applicationFolder) {
    return applicationFolder + "\\infra\\tomcat\\conf\\server.xml";
}

std::string stopStampPath(const std::string &applicationFolder) {
    return applicationFolder + "\\site\\WEB-INF\\db\\nerel2.properties";
}

std::string javaExePath(const std::string &installationFolder) {
    return installationFolder + "\\java\\jre\\bin\\java.exe";
}

std::string javawExePath(const std::string &installationFolder) {
    return installationFolder + "\\java\\jre\\bin\\javaw.exe";
}

} // namespace qvstop
