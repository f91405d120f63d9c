#include "view/PipelineBase.h"

PipelineBase::PipelineBase(QObject* parent)
    : QObject(parent)
{
}

PipelineBase::~PipelineBase() = default;
