// XlateStream: the caller's side of a streaming translation with
// intl_xlate, for text that arrives in pieces. It uses only the public
// header, so that the tool, the benchmarks and the fuzz target share it.
#ifndef INTL_XLATE_STREAM_H
#define INTL_XLATE_STREAM_H

#include <intl.h>

#include <cstddef>
#include <vector>

namespace intl_stream {

// A mapping's destination holds at most this many bytes.
inline constexpr std::size_t longest_mapping = sizeof(INTL_MAP::dest_pattern);

// What one intl_xlate call gave.
struct Step {
    INTL_INT produced; // output bytes, or a negative code
    INTL_INT used;     // source bytes consumed
    INTL_INT status;   // 0 done, 1 output full, 2 tail waits for more
};

// intl_xlate itself; a caller may wrap its calls in checks of its own.
struct PlainCall {
    Step operator()(const INTL_XLATE *table, const unsigned char *src, INTL_INT length,
                    unsigned char *out, INTL_INT room, INTL_INT last) const {
        Step step{0, 0, 0};
        step.produced = intl_xlate(src, length, out, room, table, &step.used, last, &step.status);
        return step;
    }
};

class XlateStream {
  public:
    // room: the output buffer's size, grown to fit a mapping when smaller.
    explicit XlateStream(const INTL_XLATE *table, std::size_t room = 65536,
                         std::size_t piece = 65536)
        : table_(table), out_(room == 0 ? 1 : room) {
        pending_.reserve(piece + longest_mapping);
    }

    // Translates a piece after the tail the previous piece left (a tail that
    // may begin a longer sequence waits, status 2), handing every full
    // output buffer (status 1) and the last output to sink(bytes, count).
    // last says that the text ends with this piece. Returns null, or what
    // went wrong.
    template <class Sink, class Call = PlainCall>
    const char *feed(const unsigned char *piece, std::size_t size, bool last, Sink &&sink,
                     Call &&call = Call{}) {
        pending_.insert(pending_.end(), piece, piece + size);
        std::size_t done = 0;
        const char *problem = nullptr;
        for (;;) {
            const std::size_t left = pending_.size() - done;
            const Step step = call(table_, pending_.data() + done, static_cast<INTL_INT>(left),
                                   out_.data(), static_cast<INTL_INT>(out_.size()), last ? 1 : 0);
            problem = check(step, left, last);
            if (problem != nullptr)
                break;
            if (step.produced > 0)
                sink(out_.data(), static_cast<std::size_t>(step.produced));
            done += static_cast<std::size_t>(step.used);
            if (step.status != 1)
                break;
            if (step.used == 0 && step.produced == 0 && !grow())
                return "a mapping does not fit the output buffer";
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
        return problem;
    }

  private:
    // What is wrong with a call's results, or null.
    const char *check(const Step &step, std::size_t left, bool last) const {
        if (step.produced < 0)
            return intl_errstr(step.produced);
        if (static_cast<std::size_t>(step.produced) > out_.size() || step.used < 0 ||
            static_cast<std::size_t>(step.used) > left || step.status < 0 || step.status > 2)
            return "the translation reported more than it was given";
        if (step.status == 2 && last)
            return "the translation left a tail of the text untranslated";
        if (step.status == 0 && static_cast<std::size_t>(step.used) != left)
            return "the translation stopped before the end of the text";
        return nullptr;
    }

    // Doubles an output buffer too small for one mapping; false when it
    // already held the longest one.
    bool grow() {
        if (out_.size() >= longest_mapping)
            return false;
        out_.resize(out_.size() * 2);
        return true;
    }

    const INTL_XLATE *table_;
    std::vector<unsigned char> pending_;
    std::vector<unsigned char> out_;
};

} // namespace intl_stream

#endif
