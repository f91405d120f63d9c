#include "view/ImageInteractorStyle.h"

#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkObjectFactory.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include <QDebug>

vtkStandardNewMacro(ImageInteractorStyle);

void ImageInteractorStyle::OnLeftButtonDown()
{
    qDebug() << "Entered onLeftButtonDown";
    vtkRenderWindowInteractor* interactor = this->Interactor;
    if (!interactor)
        return;
    if (interactor->GetControlKey()) {
        qDebug() << "Leave onLeftButtonDown doing NO PAN";
        return;
    }
    if (interactor->GetShiftKey()) {
        // vtkInteractorStyleImage reads Shift as "pan"; hide it for the call so that the
        // base handler starts its window/level interaction.
        interactor->SetShiftKey(0);
        vtkInteractorStyleImage::OnLeftButtonDown();
        interactor->SetShiftKey(1);
        return;
    }
    const int* position = interactor->GetEventPosition();
    this->FindPokedRenderer(position[0], position[1]);
    if (!this->CurrentRenderer)
        return;
    this->GrabFocus(this->EventCallbackCommand);
    this->StartPan();
}

void ImageInteractorStyle::OnMouseWheelForward()
{
    zoomAtCursor(1.2);
}

void ImageInteractorStyle::OnMouseWheelBackward()
{
    zoomAtCursor(0.8);
}

void ImageInteractorStyle::zoomAtCursor(double factor)
{
    vtkRenderWindowInteractor* interactor = this->Interactor;
    if (!interactor)
        return;
    const int* position = interactor->GetEventPosition();
    this->FindPokedRenderer(position[0], position[1]);
    vtkRenderer* renderer = this->CurrentRenderer;
    if (!renderer)
        return;
    vtkCamera* camera = renderer->GetActiveCamera();
    camera->ParallelProjectionOn();

    renderer->SetDisplayPoint(position[0], position[1], 0.0);
    renderer->DisplayToWorld();
    double world[4];
    renderer->GetWorldPoint(world);
    if (world[3] != 0.0) {
        world[0] /= world[3];
        world[1] /= world[3];
    }

    const double current = camera->GetParallelScale();
    const double scale = current / factor;
    // A tall image (a line camera's frame thousands of rows high) is fitted with a scale above
    // the upper limit: steps back towards the limits stay possible, only steps further out
    // (or across a limit from inside) are refused.
    const bool beyondMin = scale < kMinParallelScale && scale < current;
    const bool beyondMax = scale > kMaxParallelScale && scale > current;
    if (beyondMin || beyondMax)
        return;
    double focal[3];
    double eye[3];
    camera->GetFocalPoint(focal);
    camera->GetPosition(eye);
    // Moving focal point and eye by (factor - 1) times the cursor's offset keeps the world
    // point under the cursor where it was while the scale shrinks by factor.
    const double dx = (world[0] - focal[0]) * (factor - 1.0);
    const double dy = (world[1] - focal[1]) * (factor - 1.0);
    camera->SetFocalPoint(focal[0] + dx, focal[1] + dy, 0.0);
    camera->SetPosition(eye[0] + dx, eye[1] + dy, eye[2]);
    camera->SetParallelScale(scale);

    renderer->ResetCameraClippingRange();
    interactor->Render();
}
