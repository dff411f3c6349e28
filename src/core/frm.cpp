// The chain's motion: reset, tick, and the mouse and key actions.
#include "core/frm.hpp"

#include "core/paint.hpp"

#include <cmath>

namespace zarvo {

namespace {
constexpr double kDegreesToRadians = 0.0174532925199433;

// One step of the target colour's random walk, held within 0..255.
std::int16_t drift(std::int16_t t, float u)
{
    int next = static_cast<int>(std::floor(static_cast<double>(u) * 9.0)) + t - 4;
    if (next < 0) {
        next = 0;
    }
    if (next > 255) {
        next = 255;
    }
    return static_cast<std::int16_t>(next);
}

std::int16_t colourComponent(float u)
{
    return static_cast<std::int16_t>(std::floor(static_cast<double>(u) * 256.0));
}
}  // namespace

void Frm::scatter()
{
    for (seg = 0; seg < kPoints; ++seg) {
        segX[static_cast<std::size_t>(seg)] = static_cast<float>(static_cast<double>(u()) * surface_.surfaceWidth());
        segY[static_cast<std::size_t>(seg)] = static_cast<float>(static_cast<double>(u()) * surface_.surfaceHeight());
    }
}

void Frm::drawFollow()
{
    follow = static_cast<float>(static_cast<double>(u()) * 0.15 + 0.05);
}

void Frm::resetChain()
{
    random_.randomize(timeOfDay());
    scatter();
    heading = static_cast<float>(static_cast<double>(u()) * 360.0 * kDegreesToRadians);
    tgtR = 0;
    tgtG = 0;
    tgtB = 0;
    drawFollow();
}

void Frm::onTick()
{
    // All paints of a tick use the same target colour and follow factor: nothing changes them before the
    // last pass has run.
    const std::int16_t tr = tgtR;
    const std::int16_t tg = tgtG;
    const std::int16_t tb = tgtB;
    const double f = follow;
    for (pass = 0; pass < kPassesPerTick; ++pass) {
        paintDot(surface_, segX[0], segY[0], tr, tg, tb);

        // The head moves one pixel along its heading; clamped onto an edge it slides along it.
        const double stepX = std::sin(static_cast<double>(heading));
        const double stepY = std::cos(static_cast<double>(heading));
        segX[0] = static_cast<float>(static_cast<double>(segX[0]) + stepX);
        if (segX[0] < 0.0F) {
            segX[0] = 0.0F;
        }
        const auto lastColumn = static_cast<float>(static_cast<double>(surface_.surfaceWidth()) - 1.0);
        if (segX[0] > lastColumn) {
            segX[0] = lastColumn;
        }
        segY[0] = static_cast<float>(static_cast<double>(segY[0]) + stepY);
        if (segY[0] < 0.0F) {
            segY[0] = 0.0F;
        }
        const auto lastRow = static_cast<float>(static_cast<double>(surface_.surfaceHeight()) - 1.0);
        if (segY[0] > lastRow) {
            segY[0] = lastRow;
        }

        // Each follower closes the fraction follow of the gap to its predecessor's new position. The
        // predecessor's position is carried in locals so that the chain of moves does not wait on memory.
        double aheadX = segX[0];
        double aheadY = segY[0];
        for (seg = 1; seg < kPoints; ++seg) {
            const auto i = static_cast<std::size_t>(seg);
            const float x = segX[i];
            const float y = segY[i];
            paintDot(surface_, x, y, tr, tg, tb);
            const auto nextX = static_cast<float>((aheadX - x) * f + x);
            const auto nextY = static_cast<float>((aheadY - y) * f + y);
            segX[i] = nextX;
            segY[i] = nextY;
            aheadX = nextX;
            aheadY = nextY;
        }

        heading = static_cast<float>(static_cast<double>(heading) + turn);
        turn = static_cast<float>((static_cast<double>(u()) - 0.5) * 0.1 + turn);
        if (turn < -kTurnBound) {
            turn = -kTurnBound;
        }
        if (turn > kTurnBound) {
            turn = kTurnBound;
        }
    }
    tgtR = drift(tgtR, u());
    tgtG = drift(tgtG, u());
    tgtB = drift(tgtB, u());
}

void Frm::onMouseDown(std::int16_t button, std::int16_t modifiers, float /*x*/, float /*y*/)
{
    if (button == kButtonLeft) {
        scatter();
    } else if (button == kButtonRight) {
        scatter();
        surface_.clearSurface();
    }
    if (modifiers == kShift) {
        tgtR = colourComponent(u());
        tgtG = colourComponent(u());
        tgtB = colourComponent(u());
    }
    drawFollow();
}

KeyOutcome Frm::onKeyDown(std::int16_t keyCode, std::int16_t /*modifiers*/)
{
    return keyCode == kEscape ? KeyOutcome::endProgram : KeyOutcome::keepRunning;
}

}  // namespace zarvo
