// Golden pictures for the Windows tests: a 32-bit surface that the code under
// test paints into, compared pixel for pixel with a 24-bit BMP kept in
// tests/win/golden. With QUORVEL_UPDATE_GOLDEN=1 in the environment the
// picture is written there instead; on a mismatch the picture that was made
// is left in the test's folder as <name>.actual.bmp, to be looked at.
#pragma once
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifndef QUORVEL_GOLDEN_DIR
#define QUORVEL_GOLDEN_DIR "golden"
#endif

class GoldenSurface {
public:
    GoldenSurface(int width, int height)
        : m_width(width), m_height(height), m_section(width, height), m_select(m_dc.Get(), m_section.Get()),
          m_bits(m_section.Bits()) {}
    GoldenSurface(const GoldenSurface&) = delete;
    GoldenSurface& operator=(const GoldenSurface&) = delete;

    HDC Dc() const { return m_dc.Get(); }
    void Fill(COLORREF colour) {
        tk::Brush brush(::CreateSolidBrush(colour));
        RECT all{0, 0, m_width, m_height};
        ::FillRect(m_dc.Get(), &all, brush.Get());
    }
    // 0x00RRGGBB, as the section holds it.
    std::uint32_t At(int x, int y) const {
        ::GdiFlush();
        return m_bits[static_cast<size_t>(y) * m_width + x] & 0xFFFFFF;
    }
    // Pixels that differ between two equal-sized rectangles of the surface.
    int Differences(const RECT& a, POINT b) const {
        int n = 0;
        for (int y = a.top; y < a.bottom; ++y)
            for (int x = a.left; x < a.right; ++x) n += At(x, y) != At(x - a.left + b.x, y - a.top + b.y);
        return n;
    }

    // Empty when the surface equals the golden picture `name`, else what differs.
    std::string CompareWithGolden(const std::string& name) const {
        const std::string golden = std::string(QUORVEL_GOLDEN_DIR) + "/" + name + ".bmp";
        if (::GetEnvironmentVariableA("QUORVEL_UPDATE_GOLDEN", nullptr, 0) > 0)
            return Write(golden) ? std::string() : "cannot write " + golden;
        int w = 0, h = 0;
        std::vector<std::uint32_t> expected;
        if (!Read(golden, &w, &h, &expected)) return "cannot read " + golden;
        std::string why;
        if (w != m_width || h != m_height) {
            why = "size " + std::to_string(m_width) + " x " + std::to_string(m_height) + ", golden " +
                  std::to_string(w) + " x " + std::to_string(h);
        } else {
            int n = 0, firstX = -1, firstY = -1;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (At(x, y) != expected[static_cast<size_t>(y) * w + x] && n++ == 0) firstX = x, firstY = y;
            if (n == 0) return std::string();
            why = std::to_string(n) + " pixels differ, the first at (" + std::to_string(firstX) + ", " +
                  std::to_string(firstY) + ")";
        }
        Write(name + ".actual.bmp");
        return why + " (made: " + name + ".actual.bmp)";
    }

private:
    bool Write(const std::string& path) const {
        const int stride = (m_width * 3 + 3) & ~3;
        BITMAPFILEHEADER file{};
        BITMAPINFOHEADER info{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info;
        file.bfSize = file.bfOffBits + static_cast<DWORD>(stride) * m_height;
        info.biSize = sizeof info;
        info.biWidth = m_width;
        info.biHeight = m_height;
        info.biPlanes = 1;
        info.biBitCount = 24;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return false;
        std::fwrite(&file, sizeof file, 1, f);
        std::fwrite(&info, sizeof info, 1, f);
        std::vector<std::uint8_t> row(stride, 0);
        for (int y = m_height - 1; y >= 0; --y) {
            for (int x = 0; x < m_width; ++x) {
                const std::uint32_t p = At(x, y);
                row[3 * x] = p & 0xFF;
                row[3 * x + 1] = (p >> 8) & 0xFF;
                row[3 * x + 2] = (p >> 16) & 0xFF;
            }
            std::fwrite(row.data(), 1, row.size(), f);
        }
        return std::fclose(f) == 0;
    }
    static bool Read(const std::string& path, int* w, int* h, std::vector<std::uint32_t>* pixels) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return false;
        BITMAPFILEHEADER file{};
        BITMAPINFOHEADER info{};
        bool ok = std::fread(&file, sizeof file, 1, f) == 1 && std::fread(&info, sizeof info, 1, f) == 1 &&
                  file.bfType == 0x4D42 && info.biBitCount == 24 && info.biWidth > 0 && info.biHeight > 0 &&
                  info.biWidth < 10000 && info.biHeight < 10000;
        if (ok) {
            *w = info.biWidth;
            *h = info.biHeight;
            const int stride = (*w * 3 + 3) & ~3;
            std::vector<std::uint8_t> row(stride);
            pixels->assign(static_cast<size_t>(*w) * *h, 0);
            std::fseek(f, static_cast<long>(file.bfOffBits), SEEK_SET);
            for (int y = *h - 1; ok && y >= 0; --y) {
                ok = std::fread(row.data(), 1, row.size(), f) == row.size();
                for (int x = 0; ok && x < *w; ++x)
                    (*pixels)[static_cast<size_t>(y) * *w + x] =
                        row[3 * x] | (row[3 * x + 1] << 8) | (static_cast<std::uint32_t>(row[3 * x + 2]) << 16);
            }
        }
        std::fclose(f);
        return ok;
    }

    int m_width, m_height;
    tk::MemoryDC m_dc;
    tk::DibSection32 m_section;  // top row first
    tk::ScopedSelect m_select;
    std::uint32_t* m_bits;
};
