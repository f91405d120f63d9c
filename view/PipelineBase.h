// The interface of one rendering pipeline of an image view: it takes the image source's
// output, ends in an image actor, and maps pixel values to grey levels by window and level.
#pragma once

#include <QObject>

#include <array>

class vtkAlgorithmOutput;
class vtkProp;

class PipelineBase : public QObject {
    Q_OBJECT
public:
    // An unconnected pipeline.
    explicit PipelineBase(QObject* parent = nullptr);
    ~PipelineBase() override;

public slots:
    // Feeds the pipeline from port; with extractComponents the components are reordered to
    // the three given indices (for example 2, 1, 0 turns blue-green-red into red-green-blue).
    virtual void setInput(vtkAlgorithmOutput* port, bool extractComponents,
                          const std::array<int, 3>& components) = 0;
    // The image actor at the end of the pipeline.
    virtual vtkProp* getActor() = 0;
    // Sets the actor's colour level and colour window, in display values.
    virtual void setWindowLevel(double level, double window) = 0;
};
