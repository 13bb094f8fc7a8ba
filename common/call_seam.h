// One call the product makes into the system that a test may take the place of,
// from library code the tests link (never from anything a user of the programs
// can reach). Unreplaced, the system's call is made.
#pragma once

namespace cw {

template <typename Call>
class CallSeam {
public:
    explicit constexpr CallSeam(Call system) : system_(system) {}

    // Makes `call` (null: the system's) the one made from now on; returns the previous one.
    Call Use(Call call) {
        const Call previous = replaced_;
        replaced_ = call;
        return previous;
    }
    Call Get() const { return replaced_ ? replaced_ : system_; }

private:
    Call system_;
    Call replaced_ = nullptr;
};

}  // namespace cw
