// The one exception type of the numeric library and the thrust-allocation model.
// Every failure carries a fixed message text; the channel reports what() verbatim.
#pragma once

#include <exception>

class FixedTextError : public std::exception {
  public:
    // text must outlive the exception: every caller passes a string literal.
    explicit FixedTextError(const char* text) noexcept : text_(text) {}
    const char* what() const noexcept override { return text_; }

  private:
    const char* text_;
};
