// The spatial data organisation and entity and attribute sections. Only the
// one line after "</dataqual>" is looked at for "<spdoinfo>", and only the
// one line after "</spref>" for "<eainfo>"; everything between is copied.
#include "rewriter/boilerplate.h"
#include "rewriter/phases.h"

namespace rodozerez {
namespace {

constexpr Element kEntityAttribute{boilerplate::kEntityAttributeStart,
                                   boilerplate::kEntityAttributeEnd};

}  // namespace

void insert_spatial_organisation(Pass& pass) {
  pass.looking_for = boilerplate::kSpatialReferenceEnd;
  read_next(pass);
  if (!holds_tag(pass.line, boilerplate::kSpatialOrganisationStart)) {
    for (auto line : boilerplate::kSpatialOrganisation) pass.work.write_line(line);
  }
  pass.work.write_line(pass.line);
}

// An input section right after "</spref>" gives way to the fixed one: it is
// read through its "</eainfo>" line (an empty-element "<eainfo/>" is its
// own last line) and none of it is written, whatever tags its lines hold.
void write_entity_attribute_section(Pass& pass) {
  copy_through(pass, boilerplate::kSpatialReferenceEnd);
  for (auto line : boilerplate::kEntityAttribute) pass.work.write_line(line);
  pass.looking_for = boilerplate::kMetadataDateTag;
  read_next(pass);
  if (!holds_tag(pass.line, kEntityAttribute.start_tag)) {
    pass.work.write_line(pass.line);
    return;
  }
  skip_element(pass, kEntityAttribute);
}

}  // namespace rodozerez
