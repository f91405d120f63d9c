// The pipeline that shows the camera image as it is: source -> (component reordering for
// colour images) -> vertical flip (first memory row at the top) -> image actor.
#pragma once

#include "view/PipelineBase.h"

#include <vtkSmartPointer.h>

class vtkImageActor;
class vtkImageExtractComponents;
class vtkImageFlip;

class PipelineOriginalImage : public PipelineBase {
    Q_OBJECT
public:
    // Creates the actor, the component extractor and the flip, in that order.
    explicit PipelineOriginalImage(QObject* parent = nullptr);
    ~PipelineOriginalImage() override;

    void setInput(vtkAlgorithmOutput* port, bool extractComponents,
                  const std::array<int, 3>& components) override;
    vtkProp* getActor() override;
    void setWindowLevel(double level, double window) override;

private:
    vtkSmartPointer<vtkImageActor> actor_;                    // end of the pipeline
    vtkSmartPointer<vtkImageExtractComponents> extractor_;    // reorders colour components
    vtkSmartPointer<vtkImageFlip> flip_;                      // flips rows (axis 1)
    vtkAlgorithmOutput* port_ = nullptr;                      // current upstream port
    bool extracting_ = false;                                 // extractor_ is in the chain
};
