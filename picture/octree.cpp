#include "octree.h"

#include "platform/dc.h"
#include "platform/dibformat.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

struct OctreeNode {
    int isLeaf;
    // 64-bit: a flat area of a large picture puts tens of millions of
    // pixels into one leaf.
    std::uint64_t pixelCount;
    std::uint64_t redSum;
    std::uint64_t greenSum;
    std::uint64_t blueSum;
    OctreeNode* child[8];
    OctreeNode* nextReducible;
    BYTE red, green, blue; // the colour that made the node: its path
};

constexpr BYTE kBranchMask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

// One quantization's working state; nothing outlives the call.
class Octree {
public:
    explicit Octree(UINT depth)
        : m_depth(depth), m_leafOf(static_cast<OctreeNode**>(std::calloc(kLeafKeys, sizeof(OctreeNode*))))
    {
    }
    ~Octree()
    {
        Free(m_root);
        std::free(m_leafOf);
    }
    Octree(const Octree&) = delete;
    Octree& operator=(const Octree&) = delete;

    bool Insert(BYTE r, BYTE g, BYTE b)
    {
        if (m_leafOf) {
            if (OctreeNode* leaf = m_leafOf[LeafKey(r, g, b)]) {
                Count(leaf, r, g, b);
                return true;
            }
        }
        return Insert(&m_root, r, g, b, 0);
    }

    void Reduce()
    {
        int level = static_cast<int>(m_depth) - 1;
        while (level > 0 && !m_reducible[level])
            --level;
        if (level < 0)
            return; // depth 0: the root is the only leaf
        OctreeNode* node = m_reducible[level];
        if (!node)
            return;
        m_reducible[level] = node->nextReducible;
        Forget(node, static_cast<UINT>(level));
        std::uint64_t r = 0, g = 0, b = 0;
        UINT children = 0;
        for (auto& c : node->child) {
            if (!c)
                continue;
            r += c->redSum;
            g += c->greenSum;
            b += c->blueSum;
            node->pixelCount += c->pixelCount;
            Free(c);
            c = nullptr;
            ++children;
        }
        node->isLeaf = 1;
        node->redSum = r;
        node->greenSum = g;
        node->blueSum = b;
        m_leaves = m_leaves - children + 1;
    }

    UINT Leaves() const { return m_leaves; }

    void Collect(std::vector<PALETTEENTRY>& out) const { Collect(m_root, out); }

private:
    // Most pixels end in a leaf a few levels down, and leaves are few and
    // seldom merged. A leaf at level kLeafBits or above is remembered under
    // the top kLeafBits bits of each channel: every colour with that key
    // walks to the same leaf, until a reduction frees it.
    static constexpr UINT kLeafBits = 5;
    static constexpr std::size_t kLeafKeys = std::size_t(1) << (3 * kLeafBits);

    // The key of the top kLeafBits bits of each channel.
    static std::size_t PackKey(std::size_t r, std::size_t g, std::size_t b)
    {
        return (r << (2 * kLeafBits)) | (g << kLeafBits) | b;
    }

    static std::size_t LeafKey(BYTE r, BYTE g, BYTE b)
    {
        constexpr int drop = 8 - int(kLeafBits);
        return PackKey(std::size_t(r >> drop), std::size_t(g >> drop), std::size_t(b >> drop));
    }

    static void Count(OctreeNode* leaf, BYTE r, BYTE g, BYTE b)
    {
        ++leaf->pixelCount;
        leaf->redSum += r;
        leaf->greenSum += g;
        leaf->blueSum += b;
    }

    // The children of a node at this level are about to be freed: drop the
    // keys under the node's path, which are the only ones that can name them.
    void Forget(const OctreeNode* node, UINT level)
    {
        if (!m_leafOf || level + 1 > kLeafBits)
            return;
        const UINT span = kLeafBits - level;
        const std::size_t r0 = std::size_t(node->red >> (8 - level)) << span;
        const std::size_t g0 = std::size_t(node->green >> (8 - level)) << span;
        const std::size_t b0 = std::size_t(node->blue >> (8 - level)) << span;
        const std::size_t n = std::size_t(1) << span;
        for (std::size_t r = r0; r < r0 + n; ++r)
            for (std::size_t g = g0; g < g0 + n; ++g)
                for (std::size_t b = b0; b < b0 + n; ++b)
                    m_leafOf[PackKey(r, g, b)] = nullptr;
    }

    bool Insert(OctreeNode** slot, BYTE r, BYTE g, BYTE b, UINT level)
    {
        // Walk down iteratively: the tree is at most nine levels deep.
        for (;;) {
            if (!*slot) {
                auto* node = static_cast<OctreeNode*>(std::calloc(1, sizeof(OctreeNode)));
                if (!node)
                    return false;
                node->isLeaf = level == m_depth;
                node->red = r;
                node->green = g;
                node->blue = b;
                if (node->isLeaf) {
                    ++m_leaves;
                } else {
                    node->nextReducible = m_reducible[level];
                    m_reducible[level] = node;
                }
                *slot = node;
            }
            OctreeNode* node = *slot;
            if (node->isLeaf) {
                Count(node, r, g, b);
                if (m_leafOf && level <= kLeafBits)
                    m_leafOf[LeafKey(r, g, b)] = node;
                return true;
            }
            const BYTE mask = kBranchMask[level];
            const int shift = 7 - static_cast<int>(level);
            const int index = (((r & mask) >> shift) << 2) | (((g & mask) >> shift) << 1) | ((b & mask) >> shift);
            slot = &node->child[index];
            ++level;
        }
    }

    static void Free(OctreeNode* node)
    {
        if (!node)
            return;
        for (auto* c : node->child)
            Free(c);
        std::free(node);
    }

    static void Collect(const OctreeNode* node, std::vector<PALETTEENTRY>& out)
    {
        if (!node)
            return;
        if (node->isLeaf) {
            const std::uint64_t n = node->pixelCount ? node->pixelCount : 1;
            out.push_back(PALETTEENTRY{BYTE(node->redSum / n), BYTE(node->greenSum / n), BYTE(node->blueSum / n), 0});
            return;
        }
        for (const auto* c : node->child)
            Collect(c, out);
    }

    UINT m_depth;
    OctreeNode** m_leafOf; // by LeafKey; null when it could not be had
    OctreeNode* m_root = nullptr;
    UINT m_leaves = 0;
    OctreeNode* m_reducible[9] = {};
};

} // namespace

HPALETTE OctreePaletteFromBitmap(HBITMAP section, UINT maxColours, UINT depth)
{
    if (depth > 8 || !section || maxColours < 1)
        return nullptr;
    DIBSECTION ds;
    if (GetObject(section, sizeof ds, &ds) != sizeof ds)
        return nullptr;
    const int width = ds.dsBmih.biWidth;
    const int height = ds.dsBmih.biHeight < 0 ? -ds.dsBmih.biHeight : ds.dsBmih.biHeight;
    const int bitCount = ds.dsBmih.biBitCount;
    const int rowBytes = ds.dsBm.bmWidthBytes;
    const BYTE* bits = static_cast<const BYTE*>(ds.dsBm.bmBits);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return nullptr;

    Octree tree(depth);
    auto add = [&](BYTE r, BYTE g, BYTE b) {
        if (!tree.Insert(r, g, b))
            return false;
        while (tree.Leaves() > maxColours)
            tree.Reduce();
        return true;
    };

    if (bitCount <= 8) {
        std::vector<BYTE> line;
        try {
            line.resize(std::size_t(DibStride(std::uint64_t(width), 24)));
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        BITMAPINFO request{};
        request.bmiHeader.biSize = 40;
        request.bmiHeader.biWidth = width;
        request.bmiHeader.biHeight = height;
        request.bmiHeader.biPlanes = 1;
        request.bmiHeader.biBitCount = 24;
        HDC screen = GetDC(nullptr);
        for (int scan = 0; scan < height; ++scan) {
            GetDIBits(screen, section, static_cast<UINT>(scan), 1, line.data(), &request, DIB_RGB_COLORS);
            for (int x = 0; x < width; ++x)
                if (!add(line[3 * x + 2], line[3 * x + 1], line[3 * x])) {
                    ReleaseDC(nullptr, screen);
                    return nullptr;
                }
        }
        ReleaseDC(nullptr, screen);
    } else {
        DWORD masks[3];
        if (bitCount == 16) {
            masks[0] = 0x7C00;
            masks[1] = 0x03E0;
            masks[2] = 0x001F;
        } else {
            masks[0] = 0xFF0000;
            masks[1] = 0x00FF00;
            masks[2] = 0x0000FF;
        }
        if (ds.dsBmih.biCompression == BI_BITFIELDS && bitCount != 24)
            std::memcpy(masks, ds.dsBitfields, sizeof masks);
        const MaskedChannel channel[3] = {MaskedChannel(masks[0]), MaskedChannel(masks[1]), MaskedChannel(masks[2])};
        for (int row = 0; row < height; ++row) {
            const BYTE* p = bits + std::size_t(row) * std::size_t(rowBytes);
            if (bitCount == 24) {
                for (int x = 0; x < width; ++x, p += 3)
                    if (!add(p[2], p[1], p[0]))
                        return nullptr;
                continue;
            }
            for (int x = 0; x < width; ++x) {
                const DWORD w = bitCount == 16 ? DWORD(p[2 * x] | (p[2 * x + 1] << 8))
                                               : DWORD(p[4 * x]) | (DWORD(p[4 * x + 1]) << 8) |
                                                     (DWORD(p[4 * x + 2]) << 16) | (DWORD(p[4 * x + 3]) << 24);
                if (!add(channel[0](w), channel[1](w), channel[2](w)))
                    return nullptr;
            }
        }
    }

    if (tree.Leaves() > maxColours || tree.Leaves() == 0)
        return nullptr;
    std::vector<PALETTEENTRY> entries;
    tree.Collect(entries);
    const std::size_t bytes = 4 + 4 * entries.size();
    auto* log = static_cast<LOGPALETTE*>(std::calloc(1, bytes));
    if (!log)
        return nullptr;
    log->palVersion = 0x300;
    log->palNumEntries = static_cast<WORD>(entries.size());
    std::memcpy(log->palPalEntry, entries.data(), entries.size() * sizeof(PALETTEENTRY));
    HPALETTE palette = CreatePalette(log);
    std::free(log);
    return palette;
}

HPALETTE OctreePaletteFromDib(const BITMAPINFOHEADER* dib, UINT maxColours, UINT depth)
{
    if (!dib || dib->biSize != 40)
        return nullptr;
    const int bitCount = dib->biBitCount;
    DWORD tableEntries = 0;
    if (bitCount <= 8)
        tableEntries = dib->biClrUsed ? dib->biClrUsed : (1u << bitCount);
    else if (dib->biCompression == BI_BITFIELDS)
        tableEntries = 3; // the masks take the table's place
    const std::size_t sourceOffset = 40 + 4 * std::size_t(tableEntries);
    const std::size_t rowBytes = std::size_t(DibStride(std::uint64_t(dib->biWidth) * dib->biPlanes, unsigned(bitCount)));
    const std::size_t height = dib->biHeight < 0 ? std::size_t(-std::int64_t(dib->biHeight)) : std::size_t(dib->biHeight);
    // Rows of one plane are laid out as a section's: the section is made over
    // them and only read. Other layouts are copied.
    const bool inPlace = dib->biPlanes == 1;
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, &bits,
                                       inPlace ? const_cast<BITMAPINFOHEADER*>(dib) : nullptr,
                                       static_cast<DWORD>(inPlace ? sourceOffset : 0));
    if (!section) {
        ReleaseDC(nullptr, screen);
        return nullptr;
    }
    if (!inPlace)
        std::memcpy(bits, reinterpret_cast<const BYTE*>(dib) + sourceOffset, std::min(rowBytes * height, section->imageBytes));
    if (bitCount <= 8) {
        HDC memory = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(memory, section);
        // Only the entries the block holds are copied; the rest stay black.
        const UINT n = std::min<UINT>(tableEntries, 1u << bitCount);
        SetDIBColorTable(memory, 0, n, reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(dib) + 40));
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    GdiFlush();
    HPALETTE palette = OctreePaletteFromBitmap(section, maxColours, depth);
    DeleteObject(section);
    return palette;
}
