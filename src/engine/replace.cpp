// Putting a rewritten file in place of the old one (moving the temporary file
// over the content), the temporary file's disposal, and the release that ends
// an edit transaction.
#include <cstring>

#include "engine/edit_internal.h"
#include "engine/frame_list.h"
#include "engine/internal.h"

namespace {

// Closes a handle; a close that fails is tried once more, so that a failure
// on the way out does not also leak the descriptor.
void close_quietly(int32_t *handle) {
    if (*handle == -1) return;
    if (tav_close(handle) != 0) tav_close(handle);
    *handle = -1;
}

// A file content: the temporary file is moved over the content's path and
// the content reopened for reading and writing. Until the move succeeds the
// old file is untouched; if the move fails, the content is reopened as it was
// so that the still-open transaction can be ended again. Once the move has
// happened the list's offsets describe a file that is gone, so a failed
// reopen ends the transaction as well as reporting the failure.
int32_t replace_file(tav_id3_context *context) {
    tav_id3_edit_state *edit = context->edit;
    if (tav_close(&edit->temp_handle) != 0) {
        tav_id3_v2_discard_temp(context);
        return TAV_ERR_CLOSE;
    }
    if (tav_id3_close_content(context) != 0) {
        tav_id3_v2_discard_temp(context);
        return TAV_ERR_CLOSE;
    }
    if (tav_rename(edit->temp_name, context->path) != 0) {
        tav_id3_v2_discard_temp(context);
        int32_t handle = -1;
        if (tav_id3_open_content(context, context->mode == 0 ? 0 : 2, &handle) == 0) context->handle = handle;
        return TAV_ERR_OTHER;
    }
    // Across file systems the move copies and then deletes its source, and
    // reports success even when that delete fails: clear up a temporary file
    // that is still there.
    if (tav_file_type(edit->temp_name) == TAV_FILE_TYPE_REGULAR) tav_unlink(edit->temp_name);
    edit->temp_name[0] = L'\0';
    int32_t handle = -1;
    if (tav_id3_open_content(context, 2, &handle) != 0) {
        context->handle = -1;
        tav_id3_v2_edit_release(context);
        return TAV_ERR_OPEN;
    }
    context->handle = handle;
    return TAV_OK;
}

} // namespace

void tav_id3_v2_discard_temp(tav_id3_context *context) {
    tav_id3_edit_state *edit = context->edit;
    if (!edit) return;
    close_quietly(&edit->temp_handle);
    if (edit->temp_name[0] != L'\0') tav_unlink(edit->temp_name);
    edit->temp_name[0] = L'\0';
}

int32_t tav_id3_v2_replace_content(tav_id3_context *context) {
    if (!context->edit || context->content_type != TAV_CONTENT_FILE) return TAV_ERR_OTHER;
    return replace_file(context);
}

void tav_id3_v2_edit_release(tav_id3_context *context) {
    tav_id3_edit_state *edit = context->edit;
    context->transaction_state = TAV_TRANSACTION_NONE;
    if (!edit) return;
    tav_id3_v2_discard_temp(context);
    tav_frame_list_free(edit->frames);
    tav_rud_free(edit->ex_header);
    memset(edit, 0, sizeof *edit);
    edit->temp_handle = -1;
}
