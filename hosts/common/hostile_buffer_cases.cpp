// Host buffers the plug-in cannot use safely: input rows shorter than a packed row of the
// filter area, and an image whose working copies cannot be allocated. The first must be refused
// before a byte is read; the second must end the run with the host's out-of-memory code and
// leave outData exactly as the host filled it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/filter_host.h"
#include "common/plugin_under_test.h"
#include "support/test_images.h"

#if !defined(_WIN32)
#include <malloc.h>

#include "support/child_process.h"
#endif

namespace host {
namespace {

constexpr std::int16_t kMemFull = -108;

// A host whose advanceState serves packed output rows but input rows of the stride it claims,
// in a buffer of exactly that many bytes per row: any read past a claimed row runs off the end.
class StrideHost {
public:
    StrideHost(int width, int height, std::int32_t inStride)
        : width_(width),
          height_(height),
          inStride_(inStride),
          record_(new std::uint8_t[layout().recordBytes]()) {
        const RecordLayout& at = layout();
        put16(at.imageMode, 3);
        put16(at.planes, 3);
        put16(at.filterRect + 4, static_cast<std::int16_t>(height));
        put16(at.filterRect + 6, static_cast<std::int16_t>(width));
        const auto advance = &StrideHost::advanceState;
        std::memcpy(record_.get() + at.advanceState, &advance, sizeof advance);
    }

    std::int16_t call(std::int16_t selector) {
        current = this;
        std::int16_t result = 0;
        std::intptr_t data = 0;
        scriptedPlugin().entry(selector, record_.get(), &data, &result);
        current = nullptr;
        return result;
    }
    const std::vector<std::uint8_t>& out() const { return out_; }

private:
    static std::int16_t HOST_PLUGIN_CALL advanceState() {
        StrideHost& self = *current;
        const RecordLayout& at = layout();
        self.in_.assign(static_cast<std::size_t>(self.inStride_) * self.height_, 0x40);
        self.out_.assign(static_cast<std::size_t>(self.width_) * 3 * self.height_, kOutSentinel);
        self.putPointer(at.inData, self.in_.data());
        self.putPointer(at.outData, self.out_.data());
        std::memcpy(self.record_.get() + at.inRowBytes, &self.inStride_, 4);
        const std::int32_t packed = self.width_ * 3;
        std::memcpy(self.record_.get() + at.outRowBytes, &packed, 4);
        return 0;
    }
    void put16(std::size_t offset, std::int16_t v) { std::memcpy(record_.get() + offset, &v, 2); }
    void putPointer(std::size_t offset, const void* p) {
        std::memcpy(record_.get() + offset, &p, sizeof p);
    }

    static inline StrideHost* current = nullptr;
    int width_, height_;
    std::int32_t inStride_;
    std::unique_ptr<std::uint8_t[]> record_;
    std::vector<std::uint8_t> in_, out_;
};

class HostileBuffers : public ::testing::Test {
protected:
    void SetUp() override {
        QorvaTestHooks hooks{&HostileBuffers::onDialog, &HostileBuffers::onMessage, this};
        scriptedPlugin().installHooks(&hooks);
    }
    void TearDown() override { scriptedPlugin().installHooks(nullptr); }
    static void onDialog(void* user, QorvaDialogScript* script) {
        ++static_cast<HostileBuffers*>(user)->dialogs;
        script->confirm = 1;
    }
    static void onMessage(void* user, const char* text) {
        static_cast<HostileBuffers*>(user)->messages.emplace_back(text);
    }
    int dialogs = 0;
    std::vector<std::string> messages;
};

TEST_F(HostileBuffers, InputRowsShorterThanThePackedRowAreRefused) {
    for (const std::int32_t stride : {1, 3 * 17 - 3, 3 * 17 - 1}) {
        SCOPED_TRACE(stride);
        messages.clear();
        StrideHost run(17, 9, stride);
        EXPECT_EQ(run.call(2), 0);
        EXPECT_EQ(run.call(3), 0);
        EXPECT_EQ(messages, std::vector<std::string>{"Error"});
        EXPECT_EQ(run.out(), std::vector<std::uint8_t>(run.out().size(), kOutSentinel));
    }
    EXPECT_EQ(dialogs, 0);
}

#if !defined(_WIN32) && !defined(QORVA_TEST_ADDRESS_SANITIZER)
// In a child whose address space ends a little above what the host itself holds: the plug-in
// cannot get its render copies. Exit 0: out-of-memory code and outData untouched.
TEST_F(HostileBuffers, OutOfMemoryIsReportedAndOutDataLeftUntouched) {
    const qorva::test::ChildEnd end = qorva::test::runInChild([] {
        // Large enough that one working plane exceeds whatever freed heap earlier tests left
        // behind.
        const Document original{4000, 3000, 3, qorva::test::makePhotoLikeImage(4000, 3000, 4)};
        FilterHost run(scriptedPlugin().entry, original);
        if (run.call(2) != 0) return 10;
        malloc_trim(0);
        if (!qorva::test::capAddressSpace(qorva::test::addressSpaceInUse() + 24 * 1024 * 1024))
            return 11;
        if (run.call(3) != kMemFull) return 12;
        for (std::uint8_t b : run.outBuffer())
            if (b != kOutSentinel) return 13;
        return 0;
    });
    ASSERT_EQ(end.signal, 0) << "the host process died";
    EXPECT_EQ(end.exitCode, 0);
}
#endif

}  // namespace
}  // namespace host
