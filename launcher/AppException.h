// The launcher's own exception: a message plus where it was raised, optionally caused by another.
#pragma once

#include <memory>
#include <string>

class AppException {
  public:
    AppException(std::string message, std::string function, std::string file, int line,
                 std::shared_ptr<const AppException> cause = nullptr);
    virtual ~AppException() = default;

    virtual std::string typeName() const { return "AppException"; }
    // "Excecao AppException: <message>\nem <function>, arquivo <file>, linha <line>", then one
    // "\ncausada por ..." block per cause down the chain.
    virtual std::string fullDescription() const;
    virtual std::string message() const { return message_; }

    const std::string &function() const { return function_; }
    const std::string &file() const { return file_; }
    int line() const { return line_; }
    const AppException *cause() const { return cause_.get(); }

  private:
    std::string message_;
    std::string function_;
    std::string file_;
    int line_;
    std::shared_ptr<const AppException> cause_;
};

// An AppException that records the raising function's full signature, file and line.
#define APP_EXCEPTION(msg) AppException((msg), __PRETTY_FUNCTION__, __FILE__, __LINE__)
