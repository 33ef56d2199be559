#pragma once
// The panel's sliders' change behaviour: each writes its brush variable from the slider's value.

namespace brisel::Form2 {

void HProp1_Change();
void HProp2_Change();
void HProp3_Change();
void HProp4_Change();
void HProp5_Change();
void HProp6_Change();
void HProp7_Change();
void HProp8_Change();

}  // namespace brisel::Form2

namespace brisel::panel {

// The brush one size smaller or larger: the Size slider moved one step within its range, as the user would.
void SmallerBrush();
void LargerBrush();

}  // namespace brisel::panel
