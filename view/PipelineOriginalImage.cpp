#include "view/PipelineOriginalImage.h"

#include <vtkAlgorithmOutput.h>
#include <vtkImageActor.h>
#include <vtkImageExtractComponents.h>
#include <vtkImageFlip.h>
#include <vtkImageMapper3D.h>
#include <vtkImageProperty.h>

PipelineOriginalImage::PipelineOriginalImage(QObject* parent)
    : PipelineBase(parent)
    , actor_(vtkSmartPointer<vtkImageActor>::New())
    , extractor_(vtkSmartPointer<vtkImageExtractComponents>::New())
    , flip_(vtkSmartPointer<vtkImageFlip>::New())
{
    // Keep the intermediate images: a re-render without a new image must not re-execute.
    extractor_->ReleaseDataFlagOff();
    flip_->ReleaseDataFlagOff();
    // Cameras deliver the top row first; VTK's y axis points up.
    flip_->SetFilteredAxis(1);
    actor_->GetMapper()->SetInputConnection(flip_->GetOutputPort());
}

PipelineOriginalImage::~PipelineOriginalImage() = default;

void PipelineOriginalImage::setInput(vtkAlgorithmOutput* port, bool extractComponents,
                                     const std::array<int, 3>& components)
{
    if (extractComponents) {
        extractor_->SetComponents(components[0], components[1], components[2]);
        if (!extracting_ || port != port_) {
            extractor_->SetInputConnection(port);
            flip_->SetInputConnection(extractor_->GetOutputPort());
        }
    } else if (extracting_ || port != port_) {
        flip_->SetInputConnection(port);
    }
    extracting_ = extractComponents;
    port_ = port;
}

vtkProp* PipelineOriginalImage::getActor()
{
    return actor_;
}

void PipelineOriginalImage::setWindowLevel(double level, double window)
{
    actor_->GetProperty()->SetColorLevel(level);
    actor_->GetProperty()->SetColorWindow(window);
}
