// The wait of runAndWait: polls the status code reported by the Java monitor every 200 ms.
#pragma once

#include <cstdint>
#include <string>

// Status codes of LauncherControl.
enum StatusCode : std::int32_t {
    STATUS_AGUARDE = 0,
    STATUS_ERRO = 1,
    STATUS_ERRO_MONITOR = 2,
    STATUS_SUCESSO = 3,
    STATUS_CARGA = 4,
};

inline constexpr unsigned kPollIntervalMs = 200;
inline constexpr int kPollLimit = 300;
inline constexpr const char *kPollCaption = "Erro ao carregar aplicativo";
inline constexpr const char *kErroMessage = "Ocorreu um erro inesperado. Consulte o log para mais detalhes.";
inline constexpr const char *kErroMonitorMessage =
    "Ocorreu um erro inesperado no monitor. Consulte o log para mais detalhes.";

// What the poll touches; the Win32 shell implements it with Sleep, ShowWindow and MessageBoxA.
class PollSurface {
  public:
    virtual ~PollSurface() = default;
    virtual void sleepMs(unsigned ms) = 0;
    virtual std::int32_t readStatus() = 0;
    virtual void hideSplash() = 0;
    // A warning box owned by the splash window with caption kPollCaption; returns when closed.
    virtual void showWarning(const std::string &text) = 0;
};

// True when the Java program's window was seen (code 4) and later gone (code 3). Ends without
// success on code 1 or 2, or when no code 4 came within kPollLimit polls.
bool pollStatus(PollSurface &surface, const std::string &timeoutMessage);
