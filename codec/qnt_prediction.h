// The QNT prediction filter's one step, shared by the colour and alpha
// decoders.
#pragma once

namespace torva {

// One step of the filter on a later row: the halved sum of left and above
// (0..510 before halving, never reduced first) minus the residual.
inline unsigned Unpredict(unsigned left, unsigned above, unsigned residual) {
    return (((left + above) >> 1) - residual) & 0xFFu;
}

}  // namespace torva
