#pragma once

#include <cstdio>
#include <streambuf>

// A stream buffer that writes to a C stream, so that an std::ostream can reach a FILE* opened on a
// duplicated descriptor.
class FileStreamBuffer : public std::streambuf {
public:
    explicit FileStreamBuffer(std::FILE* file) : file_(file) {}

protected:
    int_type overflow(int_type character) override {
        if (traits_type::eq_int_type(character, traits_type::eof())) {
            return traits_type::not_eof(character);
        }
        return std::fputc(character, file_) == EOF ? traits_type::eof() : character;
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        return static_cast<std::streamsize>(
            std::fwrite(text, 1, static_cast<size_t>(count), file_));
    }

    int sync() override { return std::fflush(file_) == 0 ? 0 : -1; }

private:
    std::FILE* file_;
};
