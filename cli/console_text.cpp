#include "cli/console_text.h"

#if defined(_WIN32)

#include <iostream>
#include <streambuf>
#include <string>
#include <string_view>

#include <windows.h>

namespace {

// The bytes of a UTF-8 text up to its last whole character.
std::size_t wholeCharacters(std::string_view text) {
    for (std::size_t back = 1; back <= 4 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80) continue; // a continuation byte
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return length > back ? text.size() - back : text.size();
    }
    return text.size();
}

class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) { setp(buffer_, buffer_ + sizeof buffer_); }

protected:
    int_type overflow(int_type c) override {
        if (!writeOut()) return traits_type::eof();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (pptr() == epptr()) return traits_type::eof();
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    int sync() override { return writeOut() ? 0 : -1; }

private:
    // A character cut at the end of the buffer waits there for the rest of its bytes.
    bool writeOut() {
        const std::string_view text(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        const std::size_t whole = wholeCharacters(text);
        bool written = true;
        if (whole > 0) {
            std::wstring wide(whole, L'\0');
            const int count = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(whole),
                                                    wide.data(), static_cast<int>(wide.size()));
            DWORD done = 0;
            written = count > 0 &&
                      ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(count), &done, nullptr);
        }
        const std::string rest(text.substr(whole));
        rest.copy(buffer_, rest.size());
        setp(buffer_, buffer_ + sizeof buffer_);
        pbump(static_cast<int>(rest.size()));
        return written;
    }

    HANDLE console_;
    char buffer_[1024];
};

} // namespace

struct ConsoleText::Streams {
    struct Redirected {
        std::ostream& stream;
        std::streambuf* original;
        std::unique_ptr<ConsoleBuffer> console;
    };
    Redirected out{std::cout, nullptr, nullptr};
    Redirected err{std::cerr, nullptr, nullptr};
};

ConsoleText::ConsoleText() : streams_(std::make_unique<Streams>()) {
    const auto redirect = [](Streams::Redirected& r, DWORD handle) {
        HANDLE console = ::GetStdHandle(handle);
        DWORD mode = 0;
        // Only a console has a console mode; files and pipes keep the bytes.
        if (console == nullptr || console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode))
            return;
        r.stream.flush();
        r.console = std::make_unique<ConsoleBuffer>(console);
        r.original = r.stream.rdbuf(r.console.get());
    };
    redirect(streams_->out, STD_OUTPUT_HANDLE);
    redirect(streams_->err, STD_ERROR_HANDLE);
}

ConsoleText::~ConsoleText() {
    for (Streams::Redirected* r : {&streams_->out, &streams_->err}) {
        if (!r->console) continue;
        r->stream.flush();
        r->stream.rdbuf(r->original);
    }
}

#else

struct ConsoleText::Streams {};

ConsoleText::ConsoleText() = default;
ConsoleText::~ConsoleText() = default;

#endif
