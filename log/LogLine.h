#pragma once

#include <iostream>
#include <ostream>
#include <streambuf>

#include "log/LogOutput.h"

// One log line. The line is formatted into a buffer on the stack and handed to the log output in
// one write, so that lines from the application, frame, discovery and watchdog threads do not
// interleave; formatting is std::cout's own (its locale and default float format), and nothing
// is allocated. A line longer than the buffer is written in pieces.
class LogLine {
public:
    LogLine() : stream_(&buffer_) { stream_.imbue(std::cout.getloc()); }
    ~LogLine() { buffer_.WriteOut(note_); }
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;

    // A note for the log file's copy of the line alone, such as what a code in it means: written
    // in parentheses before the line's end. The text must outlive the line.
    LogLine& FileNote(const char* note) {
        note_ = note;
        return *this;
    }

    template <typename T>
    LogLine& operator<<(const T& value) {
        stream_ << value;
        return *this;
    }

private:
    class LineBuffer : public std::streambuf {
    public:
        LineBuffer() { setp(data_, data_ + sizeof(data_)); }

        void WriteOut(const char* note = nullptr) {
            if (note == nullptr) {
                WriteLogOutput(pbase(), static_cast<size_t>(pptr() - pbase()));
            } else {
                WriteLogOutputWithFileNote(pbase(), static_cast<size_t>(pptr() - pbase()), note);
            }
            setp(data_, data_ + sizeof(data_));
        }

    protected:
        int_type overflow(int_type c) override {
            WriteOut();
            if (!traits_type::eq_int_type(c, traits_type::eof())) {
                *pptr() = traits_type::to_char_type(c);
                pbump(1);
            }
            return traits_type::not_eof(c);
        }

    private:
        char data_[512];
    };

    LineBuffer buffer_;
    std::ostream stream_;
    const char* note_ = nullptr;
};

// Library and settings texts may be missing; an absent text prints as nothing.
inline const char* TextOrEmpty(const char* text) {
    return text == nullptr ? "" : text;
}
