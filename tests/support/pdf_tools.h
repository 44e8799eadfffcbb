// SPDX-License-Identifier: Apache-2.0
#pragma once
// Printable sheets read back with independent tools: poppler's pdftoppm,
// pdftotext and pdfinfo, and zbar's zbarimg.
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace varnet::test {

inline std::string ShellQuoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A shell command's standard output; its exit status in *status.
inline std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
  const int raw = ::pclose(pipe);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

// One page of a PDF as a PNG at `dpi`, or the half of it left or right of
// its middle (side -1 or 1); the PNG's path.
inline std::string RenderPage(const std::string& pdf, int page, int dpi, int side = 0) {
  const std::string stem = pdf + "-p" + std::to_string(page) + "-" + std::to_string(dpi) + "-" + std::to_string(side);
  const int half = int(dpi * 210 / 25.4 / 2);  // of an A4 page
  const std::string crop =
      side == 0 ? "" : " -W " + std::to_string(half) + " -x " + (side < 0 ? "0" : std::to_string(half));
  Shell("pdftoppm -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " + std::to_string(page) + crop +
        " -singlefile -png " + ShellQuoted(pdf) + " " + ShellQuoted(stem));
  return stem + ".png";
}

// The bytes of every QR symbol zbar finds in an image, raw and one after the
// other (zbar puts nothing between them in binary mode).
inline std::vector<uint8_t> ZbarBytes(const std::string& image) {
  const std::string out =
      Shell("zbarimg --raw -q -Sdisable -Sqrcode.enable -Sbinary " + ShellQuoted(image) + " 2>/dev/null");
  return {out.begin(), out.end()};
}

// Text of one page (0: all), with the page's layout kept when asked.
inline std::string PdfText(const std::string& pdf, int page = 0, bool layout = false) {
  std::string range = page ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
  return Shell("pdftotext" + range + (layout ? " -layout " : " ") + ShellQuoted(pdf) + " - 2>/dev/null");
}

// A word of a page as pdftotext places it, in points from the page's top.
struct PdfWord {
  int page;
  double yMin, yMax, pageHeight;
  std::string text;
};

inline std::vector<PdfWord> PdfWords(const std::string& pdf) {
  std::vector<PdfWord> words;
  const std::string html = Shell("pdftotext -bbox " + ShellQuoted(pdf) + " - 2>/dev/null");
  int page = 0;
  double height = 0;
  for (size_t at = 0; (at = html.find('<', at)) != std::string::npos; ++at) {
    auto number = [&](const char* name) {
      const size_t n = html.find(std::string(name) + "=\"", at);
      return n == std::string::npos ? 0.0 : std::stod(html.substr(n + std::strlen(name) + 2));
    };
    if (html.compare(at, 6, "<page ") == 0) {
      ++page;
      height = number("height");
    } else if (html.compare(at, 6, "<word ") == 0) {
      const size_t start = html.find('>', at) + 1;
      words.push_back(
          {page, number("yMin"), number("yMax"), height, html.substr(start, html.find('<', start) - start)});
    }
  }
  return words;
}

// pdfinfo's "Pages:" or "Page size:" value, and the like.
inline std::string PdfInfo(const std::string& pdf, const std::string& field) {
  const std::string info = Shell("pdfinfo " + ShellQuoted(pdf) + " 2>/dev/null");
  const size_t at = info.find(field + ":");
  if (at == std::string::npos) return {};
  const size_t start = info.find_first_not_of(' ', at + field.size() + 1);
  return info.substr(start, info.find('\n', start) - start);
}

}  // namespace varnet::test
