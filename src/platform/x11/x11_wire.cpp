// The presenter's X requests as bytes, and the packets the server sends back taken apart.
#include "platform/x11/x11_wire.hpp"

#include <cstring>

namespace zarvo::sdl::wire {

namespace {

constexpr std::size_t kPacketBytes = 32;
constexpr std::uint8_t kError = 0;
constexpr std::uint8_t kReply = 1;
constexpr std::uint8_t kGenericEvent = 35;
constexpr std::uint8_t kCreateGc = 55;
constexpr std::uint8_t kGetInputFocus = 43;

template <class T>
void put(std::vector<std::uint8_t>& out, T value)
{
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

// A request's first four bytes: its opcode, a byte of its own, and its length in 4-byte units.
void header(std::vector<std::uint8_t>& out, std::uint8_t major, std::uint8_t data, std::uint16_t words)
{
    put(out, major);
    put(out, data);
    put(out, words);
}

template <class T>
T get(std::span<const std::uint8_t> bytes, std::size_t at)
{
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

}  // namespace

void appendShmPutImage(std::vector<std::uint8_t>& out, std::uint8_t shmOpcode, const ShmPut& p)
{
    constexpr std::uint8_t kZPixmap = 2;
    header(out, shmOpcode, kShmPutImage, 10);
    put(out, p.drawable);
    put(out, p.gc);
    put(out, p.totalWidth);
    put(out, p.totalHeight);
    put(out, p.x);  // where the rectangle starts in the image
    put(out, p.y);
    put(out, p.width);
    put(out, p.height);
    put(out, p.x);  // and on the drawable
    put(out, p.y);
    put(out, p.depth);
    put(out, kZPixmap);
    put(out, std::uint8_t{0});  // no completion event
    put(out, std::uint8_t{0});
    put(out, p.segment);
    put(out, std::uint32_t{0});  // the image starts at the segment's start
}

void appendShmAttach(std::vector<std::uint8_t>& out, std::uint8_t shmOpcode, std::uint32_t segment, std::uint32_t shmId)
{
    header(out, shmOpcode, kShmAttach, 4);
    put(out, segment);
    put(out, shmId);
    put(out, std::uint32_t{1});  // read-only, then three bytes of padding
}

void appendShmDetach(std::vector<std::uint8_t>& out, std::uint8_t shmOpcode, std::uint32_t segment)
{
    header(out, shmOpcode, kShmDetach, 2);
    put(out, segment);
}

void appendCreateGc(std::vector<std::uint8_t>& out, std::uint32_t gc, std::uint32_t drawable)
{
    header(out, kCreateGc, 0, 4);
    put(out, gc);
    put(out, drawable);
    put(out, std::uint32_t{0});  // no values: the defaults
}

void appendGetInputFocus(std::vector<std::uint8_t>& out)
{
    header(out, kGetInputFocus, 0, 1);
}

std::size_t nextPacket(std::span<const std::uint8_t> bytes, Packet& packet)
{
    if (bytes.size() < kPacketBytes) {
        return 0;
    }
    const std::uint8_t type = bytes[0];
    std::size_t length = kPacketBytes;
    packet = Packet{};
    packet.sequence = get<std::uint16_t>(bytes, 2);
    if (type == kError) {
        packet.kind = Packet::Kind::error;
        packet.code = bytes[1];
        packet.resource = get<std::uint32_t>(bytes, 4);
        packet.minor = get<std::uint16_t>(bytes, 8);
        packet.major = bytes[10];
    } else {
        packet.kind = type == kReply ? Packet::Kind::reply : Packet::Kind::event;
        packet.code = static_cast<std::uint8_t>(type & 0x7FU);  // the top bit marks a sent event
        if (type == kReply || packet.code == kGenericEvent) {
            length += 4 * static_cast<std::size_t>(get<std::uint32_t>(bytes, 4));
        }
    }
    return bytes.size() < length ? 0 : length;
}

}  // namespace zarvo::sdl::wire
