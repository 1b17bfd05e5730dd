// What the socket transport tests share: a connected loopback TCP pair with a
// transport on each end, a peer side that sends and receives raw bytes,
// a builder of expected wire bytes (little-endian numbers, strings, fields),
// and a loopback pair with a channel on each end.
#ifndef SO_FIXTURE_H
#define SO_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/system/ch_channel.h"
#include "base/system/so_channel_internal.h"
#include "platform/plat_socket_internal.h"
#include "tests/support/peer_watchdog.h"

namespace so_test
{

using Bytes = std::vector<uint8_t>;

// Wire bytes built piece by piece.
struct Wire {
    Bytes b;
    Wire &i32(int32_t v)
    {
        for (int i = 0; i < 4; i++)
            b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        return *this;
    }
    Wire &i16(int16_t v)
    {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        return *this;
    }
    Wire &f64(double v)
    {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; i++)
            b.push_back(static_cast<uint8_t>(u >> (8 * i)));
        return *this;
    }
    Wire &raw(const void *p, size_t n)
    {
        b.insert(b.end(), static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n);
        return *this;
    }
    Wire &raw(const Bytes &other)
    {
        return raw(other.data(), other.size());
    }
    // A string in the wire form: length with the NUL, the bytes.
    Wire &str(const std::string &s)
    {
        if (s.empty())
            return i32(0);
        i32(static_cast<int32_t>(s.size() + 1));
        return raw(s.c_str(), s.size() + 1);
    }
    // A text field of n bytes, zero-filled behind the text.
    Wire &field(const std::string &s, size_t n)
    {
        Bytes f(n, 0);
        std::memcpy(f.data(), s.data(), s.size() < n ? s.size() : n);
        return raw(f);
    }
    Wire &zeros(size_t n)
    {
        b.insert(b.end(), n, 0);
        return *this;
    }
};

inline int32_t le32(const Bytes &b, size_t at)
{
    return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                static_cast<uint32_t>(b[at + 3]) << 24);
}

inline double le64(const Bytes &b, size_t at)
{
    double v;
    std::memcpy(&v, &b[at], 8);
    return v;
}

// Connects two loopback TCP sockets: *a the connecting end, *b the accepted.
inline void connect_pair(int *a, int *b)
{
    uint16_t port = 0;
    int listener = plat_socket_listen_loopback(&port);
    EXPECT_GE(listener, 0);
    *a = plat_socket_connect("127.0.0.1", port);
    *b = plat_socket_accept(listener);
    plat_socket_close(listener);
    EXPECT_GE(*a, 0);
    EXPECT_GE(*b, 0);
}

// A connected loopback TCP pair with a channel of the type on each end: tx on
// the connecting end a, rx on the accepted end b.
struct ChannelPair {
    int a = -1, b = -1;
    CH_CHANNEL *tx = nullptr, *rx = nullptr;
    // A read that waits for bytes that never come fails instead of hanging.
    zel_test::PeerWatchdog watchdog{&a, &b};

    explicit ChannelPair(uint32_t type)
    {
        connect_pair(&a, &b);
        // A test's own receive gives up after a while as well.
        timeval limit = {5, 0};
        setsockopt(a, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(b, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        tx = CH_create(type, 0, &a);
        rx = CH_create(type, 0, &b);
        EXPECT_NE(tx, nullptr);
        EXPECT_NE(rx, nullptr);
    }
    ~ChannelPair()
    {
        watchdog.stop();
        CH_destroy(tx);
        CH_destroy(rx);
        plat_socket_close(a);
        plat_socket_close(b);
    }
    ChannelPair(const ChannelPair &) = delete;
    ChannelPair &operator=(const ChannelPair &) = delete;
};

// A connected loopback TCP pair: `ours` carries a transport (4096/8192 as the
// channel makes them), `peer` is the test's raw end.
struct Loopback {
    int ours = -1, peer = -1;
    SO_CHANNEL *so = nullptr;
    // A read that waits for bytes that never come fails instead of hanging.
    zel_test::PeerWatchdog watchdog{&ours, &peer};

    explicit Loopback(int32_t write_size = 4096, int32_t read_size = 8192)
    {
        connect_pair(&ours, &peer);
        so = SO_create(&ours, write_size, read_size);
        EXPECT_NE(so, nullptr);
    }
    ~Loopback()
    {
        watchdog.stop();
        SO_destroy(so);
        if (ours >= 0)
            plat_socket_close(ours);
        if (peer >= 0)
            plat_socket_close(peer);
    }
    Loopback(const Loopback &) = delete;
    Loopback &operator=(const Loopback &) = delete;

    // Everything the transport sent, after a flush: exactly n bytes.
    Bytes peer_take(size_t n)
    {
        Bytes got(n);
        EXPECT_EQ(so_flush(so), 0);
        EXPECT_EQ(CH_readn(peer, got.data(), static_cast<int32_t>(n)), static_cast<int32_t>(n));
        return got;
    }
    // Whatever the transport sent, after a flush (nothing more is waiting).
    Bytes peer_drain()
    {
        EXPECT_EQ(so_flush(so), 0);
        Bytes got;
        uint8_t block[65536];
        while (plat_socket_poll(peer, PLAT_SOCKET_READABLE, 100) > 0) {
            ssize_t n = plat_socket_recv(peer, block, sizeof block);
            if (n <= 0)
                break;
            got.insert(got.end(), block, block + n);
        }
        return got;
    }
    void peer_send(const Bytes &bytes)
    {
        ASSERT_EQ(CH_writen(peer, bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int32_t>(bytes.size()));
    }
};

} // namespace so_test

#endif
