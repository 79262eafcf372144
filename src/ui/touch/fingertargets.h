#pragma once

class QWidget;

// The check boxes, radio buttons and list ticks under `root` get indicators of finger size
// (about 8 mm), and its drop-downs open as a list below the box, so the row that happens to
// lie under the finger is not picked by the finger's release, with rows a finger can hit. A
// style sheet `root` has already must be rules, not bare declarations.
void makeFingerTargets(QWidget* root);
