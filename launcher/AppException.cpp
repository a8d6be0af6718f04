#include "AppException.h"

#include <utility>

AppException::AppException(std::string message, std::string function, std::string file, int line,
                           std::shared_ptr<const AppException> cause)
    : message_(std::move(message)), function_(std::move(function)), file_(std::move(file)), line_(line),
      cause_(std::move(cause)) {}

namespace {
std::string where(const AppException &e) {
    return "em " + e.function() + ", arquivo " + e.file() + ", linha " + std::to_string(e.line());
}
} // namespace

std::string AppException::fullDescription() const {
    std::string text = "Excecao " + typeName() + ": " + message() + "\n" + where(*this);
    for (const AppException *c = cause(); c; c = c->cause())
        text += "\ncausada por " + c->typeName() + ": " + c->message() + "\n" + where(*c);
    return text;
}
