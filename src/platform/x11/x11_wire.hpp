// The few X requests the presenter writes itself on its own connection, and the reading of what the server
// sends back there: errors and events of 32 bytes, replies and generic events with their extra length.
// Requests go in the machine's byte order, which is the connection's: the connection was opened with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zarvo::sdl::wire {

// MIT-SHM's minor opcodes.
inline constexpr std::uint8_t kShmAttach = 1;
inline constexpr std::uint8_t kShmDetach = 2;
inline constexpr std::uint8_t kShmPutImage = 3;

// A rectangle of a shared image of totalWidth x totalHeight pixels, put at the same place on the drawable.
struct ShmPut {
    std::uint32_t drawable = 0;
    std::uint32_t gc = 0;
    std::uint16_t totalWidth = 0;
    std::uint16_t totalHeight = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t depth = 0;
    std::uint32_t segment = 0;
};

// Each appends one request to the bytes.
void appendShmPutImage(std::vector<std::uint8_t>& out, std::uint8_t shmOpcode, const ShmPut& put);
void appendShmAttach(std::vector<std::uint8_t>& out, std::uint8_t shmOpcode, std::uint32_t segment,
                     std::uint32_t shmId);  // read-only for the server
void appendShmDetach(std::vector<std::uint8_t>& out, std::uint8_t shmOpcode, std::uint32_t segment);
void appendCreateGc(std::vector<std::uint8_t>& out, std::uint32_t gc, std::uint32_t drawable);
void appendGetInputFocus(std::vector<std::uint8_t>& out);  // a request with a reply, to see that all before it ran

// One packet from the server.
struct Packet {
    enum class Kind { error, reply, event } kind = Kind::event;
    std::uint8_t code = 0;  // the error code, or the event's type
    std::uint16_t sequence = 0;
    std::uint32_t resource = 0;  // errors: the bad value
    std::uint16_t minor = 0;     // errors: the request's minor and major opcode
    std::uint8_t major = 0;
};

// The length of the whole packet at the front of the bytes, with what it says filled in; 0 while the bytes
// hold only part of it.
std::size_t nextPacket(std::span<const std::uint8_t> bytes, Packet& packet);

}  // namespace zarvo::sdl::wire
