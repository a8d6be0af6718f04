// The flavour table: the only constants that differ between QuorvelBkp and QuorvelRst.
// QV_FLAVOUR_RESTORE=1 at build time selects the restore launcher.
#pragma once

namespace flavour {

#if defined(QV_FLAVOUR_RESTORE) && QV_FLAVOUR_RESTORE
inline constexpr bool kRestore = true;
inline constexpr const char *kTitle = "Restaurar";
inline constexpr const char *kWindowClass = "QUORVELRST";
inline constexpr const char *kMutexName = "Global\\{{7A2C1D3F-4E5B-4D6C-8F9A-B2C3D4E5F607}}";
inline constexpr const char *kLogPrefix = "restore_log_";
inline constexpr const char *kJavaOutputFile = "\\aplicacao\\infra\\tomcat\\logs\\restorew.log";
inline constexpr const char *kMainClass = "halvane.nerel.commonLib.integrador.backup.JRestore";
inline constexpr const char *kTimeoutMessage =
    "Não foi possível carregar o aplicativo de Restore. Consulte o log para mais detalhes.";
inline constexpr int kClassResourceId = 131;
inline constexpr int kSplashBitmapId = 130;
inline constexpr const char *kSessionBlockReason = "A restauração está em andamento.";
#else
inline constexpr bool kRestore = false;
inline constexpr const char *kTitle = "Cópia de Segurança";
inline constexpr const char *kWindowClass = "QUORVELBKP";
inline constexpr const char *kMutexName = "Global\\{{6F1B0C2E-3D4A-4C5B-9E8F-A1B2C3D4E5F6}}";
inline constexpr const char *kLogPrefix = "backup_log_";
inline constexpr const char *kJavaOutputFile = "\\aplicacao\\infra\\tomcat\\logs\\backupw.log";
inline constexpr const char *kMainClass = "halvane.nerel.commonLib.integrador.backup.JBackup";
inline constexpr const char *kTimeoutMessage =
    "Não foi possível carregar o aplicativo de Backup. Consulte o log para mais detalhes.";
inline constexpr int kClassResourceId = 135;
inline constexpr int kSplashBitmapId = 132;
inline constexpr const char *kSessionBlockReason = "A cópia de segurança está em andamento.";
#endif

// What one CreateMutexA call gave: the handle (null when it failed) and GetLastError after it.
struct MutexResult {
    void *handle;
    unsigned long error;
};

// How a system refuses "Global\" in an object name: NT 4.0 takes the backslash for a namespace
// folder that does not exist (ERROR_PATH_NOT_FOUND); 98/ME take no backslash in a name at all
// (ERROR_INVALID_NAME, ERROR_BAD_PATHNAME).
inline bool mutexNameRefused(unsigned long error) {
    constexpr unsigned long kPathNotFound = 3, kInvalidName = 123, kBadPathname = 161;
    return error == kPathNotFound || error == kInvalidName || error == kBadPathname;
}

// Creates the single-instance mutex with `create` (CreateMutexA with a name). "Global\" first,
// so one launcher runs per machine, not per session, also where a compatibility mode reports an
// older system; the bare name only where the system refuses that one. Any other failure (say
// access denied to a mutex another user's launcher holds) is kept as it came.
template <typename Create> MutexResult createInstanceMutex(Create create) {
    constexpr int kPrefixLength = 7; // "Global\"
    MutexResult result = create(kMutexName);
    if (!result.handle && mutexNameRefused(result.error))
        result = create(kMutexName + kPrefixLength);
    return result;
}

// Shared by both flavours.
inline constexpr const char *kProductName = "Quorvel";
inline constexpr const char *kDefaultInstallDir = "C:\\QUORVEL";
inline constexpr const char *kHsqldbPort = "9002";
inline constexpr const char *kLogSubfolder = "\\aplicacao\\infra\\tomcat\\logs";
inline constexpr const char *kClassFolderSuffix =
    "\\aplicacao\\site\\WEB-INF\\classes\\halvane\\nerel\\commonLib\\integrador\\backup";
inline constexpr const char *kClassFileName = "LauncherControl.class";
inline constexpr const char *kMonitorClass = "halvane/nerel/commonLib/integrador/backup/LauncherControl";
inline constexpr const char *kClassResourceType = "IDR_BINARY";

} // namespace flavour
