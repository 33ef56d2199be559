#pragma once
// The two constant lookup tables of the blend modes, filled once at start-up.

namespace brisel::blend {

// Fills CoverageCurves with the two brush coverage curves (constant data).
void BuildCoverageCurves();
// Fills the ten layers of BlendTable, one per blend mode that works through a table.
void BuildBlendTable();

}  // namespace brisel::blend
