#pragma once

// Turns wheel angle deltas into whole notches of 120. High-resolution wheels
// and touchpads send smaller deltas: they add up instead of each being lost
// or each scrolling a whole step. A turn the other way starts afresh.
class WheelNotches {
public:
    int take(int delta)
    {
        if ((delta > 0) != (m_remainder > 0))
            m_remainder = 0;
        m_remainder += delta;
        const int steps = m_remainder / 120;
        m_remainder -= steps * 120;
        return steps;
    }
    void reset() { m_remainder = 0; }

private:
    int m_remainder = 0;
};
