// Mouse handling of an image view: plain left drag pans, Ctrl + left drag does nothing (so
// that a click can select without moving the image), Shift + left drag adjusts window and
// level as vtkInteractorStyleImage does; the wheel zooms about the point under the cursor.
#pragma once

#include <vtkInteractorStyleImage.h>

class ImageInteractorStyle : public vtkInteractorStyleImage {
public:
    static ImageInteractorStyle* New();
    vtkTypeMacro(ImageInteractorStyle, vtkInteractorStyleImage);

    // Smallest and largest parallel scale (world units per half viewport height) a zoom keeps.
    static constexpr double kMinParallelScale = 1.0;
    static constexpr double kMaxParallelScale = 6000.0;

    void OnLeftButtonDown() override;
    void OnMouseWheelForward() override;
    void OnMouseWheelBackward() override;

    // Zooms by factor (> 1 magnifies) keeping the world point under the event position in
    // place; does nothing when the new parallel scale would leave the limits or, when it is
    // outside them already, move further away from them.
    void zoomAtCursor(double factor);

protected:
    ImageInteractorStyle() = default;
    ~ImageInteractorStyle() override = default;

private:
    ImageInteractorStyle(const ImageInteractorStyle&) = delete;
    void operator=(const ImageInteractorStyle&) = delete;
};
