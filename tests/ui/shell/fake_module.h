#pragma once
// A small stand-in for the module on a pseudo-terminal, for the shell tests
// when tarvik-sim is not built: it answers get requests only while the line
// speed the PC set equals its own rate. Object 0x02 answers the product
// identifier, 0x05 the status word, every other object zeros; set requests
// are echoed. Bytes that are not a frame (the wake-up text) are skipped.
#include "device/frame.h"
#include "tests/support/pty.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

class CFakeModule {
public:
    CFakeModule(int32_t product, uint32_t statusWord, uint32_t baud)
        : m_product(product), m_status(statusWord), m_baud(baud) {
        if (m_pty.Ok()) m_thread = std::thread([this] { Run(); });
    }
    ~CFakeModule() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool Ok() const { return m_pty.Ok(); }
    const std::string& Path() const { return m_pty.SlavePath(); }
    void SetStatus(uint32_t status) { m_status = status; }
    // A silent module reads every request and answers none.
    void SetSilent(bool silent) { m_silent = silent; }

private:
    void Run() {
        std::vector<uint8_t> in;
        while (!m_stop) {
            pollfd p{m_pty.Master(), POLLIN, 0};
            const int r = ::poll(&p, 1, 20);
            if (r <= 0) continue;
            if (!(p.revents & POLLIN)) {  // no slave open at the moment
                ::usleep(2000);
                continue;
            }
            uint8_t buf[256];
            const ssize_t n = ::read(m_pty.Master(), buf, sizeof buf);
            if (n <= 0) {
                ::usleep(2000);
                continue;
            }
            in.insert(in.end(), buf, buf + n);
            Parse(in);
        }
    }
    bool RateMatches() const {
        termios2 tio{};
        if (!m_pty.SlaveTermios(&tio)) return false;
        return tio.c_ospeed == m_baud;
    }
    void Parse(std::vector<uint8_t>& in) {
        while (!in.empty()) {
            if (in[0] != frame::STX) {
                in.erase(in.begin());
                continue;
            }
            if (in.size() < size_t(frame::kRequestLength)) return;
            frame::Request request;
            if (!frame::ParseRequest(in.data(), &request)) {
                in.erase(in.begin());
                continue;
            }
            if (!m_silent && RateMatches()) Answer(request);
            in.erase(in.begin(), in.begin() + frame::kRequestLength);
        }
    }
    void Answer(const frame::Request& r) {
        uint8_t reply[frame::Length(frame::kMaxReplyElements)];
        std::vector<uint8_t> data;
        if (r.op == frame::OP_GET_REQUEST) {
            const int count = std::max(1, std::min<int>(r.element[0], frame::kMaxReplyElements));
            data.assign(size_t(4 * count), 0);
            uint32_t v = 0;
            if (r.index == 0x02) v = uint32_t(m_product);
            if (r.index == 0x05) v = m_status.load();
            std::memcpy(data.data(), &v, 4);
        } else {
            data.assign(r.element, r.element + 4);
        }
        const uint8_t replyOp = r.op == frame::OP_GET_REQUEST ? frame::OP_GET_REPLY : frame::OP_SET_REPLY;
        const size_t n = frame::Build(reply, r.deviceId, uint8_t(replyOp | r.type), r.index, r.subIndex, data.data(),
                                      int(data.size() / 4));
        (void)::write(m_pty.Master(), reply, n);
    }

    CPty m_pty;
    int32_t m_product;
    std::atomic<uint32_t> m_status;
    uint32_t m_baud;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_silent{false};
    std::thread m_thread;
};
