// The X11 presenter's own requests and its reading of the server's packets, checked against xcb's
// description of the protocol's layouts. Needs no display.
#include "platform/x11/x11_wire.hpp"

#include <gtest/gtest.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zarvo::sdl::wire {
namespace {

template <class T>
T as(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    T value{};
    EXPECT_LE(at + sizeof(T), bytes.size());
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

TEST(X11Wire, RequestsHaveTheProtocolsLayoutAndLength)
{
    constexpr std::uint8_t kShm = 130;
    std::vector<std::uint8_t> out;
    appendCreateGc(out, 0x200001, 0x400007);
    const ShmPut put{0x400007, 0x200001, 503, 380, 48, 16, 32, 64, 24, 0x200002};
    appendShmPutImage(out, kShm, put);
    appendShmAttach(out, kShm, 0x200003, 98311);
    appendShmDetach(out, kShm, 0x200002);
    appendGetInputFocus(out);

    // Each request's length field covers it exactly, so the next one starts where xcb's layout ends.
    std::size_t at = 0;
    auto next = [&](std::size_t layoutBytes) {
        const auto words = as<std::uint16_t>(out, at + 2);
        EXPECT_EQ(std::size_t{words} * 4, layoutBytes);
        const std::size_t start = at;
        at += std::size_t{words} * 4;
        return start;
    };
    const auto gc = as<xcb_create_gc_request_t>(out, next(sizeof(xcb_create_gc_request_t)));
    EXPECT_EQ(gc.major_opcode, XCB_CREATE_GC);
    EXPECT_EQ(gc.cid, 0x200001U);
    EXPECT_EQ(gc.drawable, 0x400007U);
    EXPECT_EQ(gc.value_mask, 0U);

    const auto image = as<xcb_shm_put_image_request_t>(out, next(sizeof(xcb_shm_put_image_request_t)));
    EXPECT_EQ(image.major_opcode, kShm);
    EXPECT_EQ(image.minor_opcode, XCB_SHM_PUT_IMAGE);
    EXPECT_EQ(image.drawable, 0x400007U);
    EXPECT_EQ(image.gc, 0x200001U);
    EXPECT_EQ(image.total_width, 503);
    EXPECT_EQ(image.total_height, 380);
    EXPECT_EQ(image.src_x, 48);  // the same rectangle in the image and on the window
    EXPECT_EQ(image.dst_x, 48);
    EXPECT_EQ(image.src_y, 16);
    EXPECT_EQ(image.dst_y, 16);
    EXPECT_EQ(image.src_width, 32);
    EXPECT_EQ(image.src_height, 64);
    EXPECT_EQ(image.depth, 24);
    EXPECT_EQ(image.format, XCB_IMAGE_FORMAT_Z_PIXMAP);
    EXPECT_EQ(image.send_event, 0);
    EXPECT_EQ(image.shmseg, 0x200002U);
    EXPECT_EQ(image.offset, 0U);

    const auto attach = as<xcb_shm_attach_request_t>(out, next(sizeof(xcb_shm_attach_request_t)));
    EXPECT_EQ(attach.minor_opcode, XCB_SHM_ATTACH);
    EXPECT_EQ(attach.shmseg, 0x200003U);
    EXPECT_EQ(attach.shmid, 98311U);
    EXPECT_EQ(attach.read_only, 1);

    const auto detach = as<xcb_shm_detach_request_t>(out, next(sizeof(xcb_shm_detach_request_t)));
    EXPECT_EQ(detach.minor_opcode, XCB_SHM_DETACH);
    EXPECT_EQ(detach.shmseg, 0x200002U);

    const auto focus = as<xcb_get_input_focus_request_t>(out, next(sizeof(xcb_get_input_focus_request_t)));
    EXPECT_EQ(focus.major_opcode, XCB_GET_INPUT_FOCUS);
    EXPECT_EQ(at, out.size());
}

// A packet as it comes on the wire: 32 bytes that start with xcb's struct for it (some are shorter; an
// error's ends in a field xcb adds after reading), then its extra words.
template <class T>
void append(std::vector<std::uint8_t>& bytes, const T& value, std::size_t extraWords = 0)
{
    std::uint8_t packet[32] = {};
    std::memcpy(packet, &value, std::min<std::size_t>(sizeof(T), 32));
    bytes.insert(bytes.end(), packet, packet + 32);
    bytes.resize(bytes.size() + extraWords * 4, 0xEE);
}

TEST(X11Wire, PacketsAreTakenWholeFromTheStream)
{
    std::vector<std::uint8_t> stream;
    xcb_generic_error_t error{};
    error.response_type = 0;
    error.error_code = XCB_DRAWABLE;
    error.sequence = 0xBEEF;
    error.resource_id = 0x400007;
    error.minor_code = XCB_SHM_PUT_IMAGE;
    error.major_code = 130;
    append(stream, error);
    xcb_generic_reply_t reply{};
    reply.response_type = 1;  // a reply, whatever the request
    reply.sequence = 0xBEF0;
    reply.length = 3;
    append(stream, reply, 3);
    xcb_ge_generic_event_t generic{};
    generic.response_type = XCB_GE_GENERIC;
    generic.length = 2;
    append(stream, generic, 2);
    xcb_expose_event_t sent{};
    sent.response_type = XCB_EXPOSE | 0x80;
    append(stream, sent);

    struct Expected {
        std::size_t length;
        Packet::Kind kind;
        std::uint8_t code;
    };
    const Expected expected[] = {{32, Packet::Kind::error, XCB_DRAWABLE},
                                 {44, Packet::Kind::reply, 1},
                                 {40, Packet::Kind::event, XCB_GE_GENERIC},
                                 {32, Packet::Kind::event, XCB_EXPOSE}};
    std::size_t at = 0;
    for (const Expected& e : expected) {
        const std::span<const std::uint8_t> rest(stream.data() + at, stream.size() - at);
        Packet packet;
        // Every shorter prefix holds only part of the packet.
        for (std::size_t part = 0; part < e.length; ++part) {
            ASSERT_EQ(nextPacket(rest.first(part), packet), 0U) << "at " << at << ", " << part << " bytes";
        }
        ASSERT_EQ(nextPacket(rest, packet), e.length) << "at " << at;
        EXPECT_EQ(packet.kind, e.kind);
        EXPECT_EQ(packet.code, e.code);
        if (e.kind == Packet::Kind::error) {
            EXPECT_EQ(packet.sequence, 0xBEEF);
            EXPECT_EQ(packet.resource, 0x400007U);
            EXPECT_EQ(packet.minor, XCB_SHM_PUT_IMAGE);
            EXPECT_EQ(packet.major, 130);
        }
        at += e.length;
    }
    EXPECT_EQ(at, stream.size());
}

}  // namespace
}  // namespace zarvo::sdl::wire
