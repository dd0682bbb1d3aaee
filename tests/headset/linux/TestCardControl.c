/* An ALSA control plugin that plays the headset's card in tests: "Mic"
 * capture volume (0..31, -16..+15 dB) and switch, and with `sidetone true`
 * "Sidetone" playback volume and switch. The values live in the file named
 * by `state` ("micVolume micSwitch sidetoneVolume sidetoneSwitch"), so that
 * they outlast each open, as a card's do, and a test can read them.
 *
 *   ctl_type.velkortest { lib "/path/libasound_module_ctl_velkortest.so" }
 *   ctl.NAME { type velkortest sidetone true state "/path/state" }
 */
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { MIC_VOLUME, MIC_SWITCH, SIDETONE_VOLUME, SIDETONE_SWITCH, ELEMENTS };

static const char* const names[ELEMENTS] = {"Mic Capture Volume", "Mic Capture Switch", "Sidetone Playback Volume",
                                            "Sidetone Playback Switch"};

/* -16 dB at 0, 1 dB a step. */
static const unsigned int db_scale[] = {SND_CTL_TLVT_DB_SCALE, 2 * sizeof(unsigned int), (unsigned int)-1600, 100};

typedef struct {
    snd_ctl_ext_t ext;
    int count;
    char* state;
    long values[ELEMENTS];
} test_card_t;

static void load(test_card_t* card) {
    FILE* file = fopen(card->state, "r");
    card->values[0] = 20;
    card->values[1] = 1;
    card->values[2] = 10;
    card->values[3] = 1;
    if (file != NULL) {
        if (fscanf(file, "%ld %ld %ld %ld", &card->values[0], &card->values[1], &card->values[2], &card->values[3]) !=
            4) {
            card->values[0] = 20;
        }
        fclose(file);
    }
}

static int store(test_card_t* card) {
    FILE* file = fopen(card->state, "w");
    if (file == NULL) {
        return -EIO;
    }
    fprintf(file, "%ld %ld %ld %ld\n", card->values[0], card->values[1], card->values[2], card->values[3]);
    return fclose(file) == 0 ? 0 : -EIO;
}

static void card_close(snd_ctl_ext_t* ext) {
    test_card_t* card = ext->private_data;
    free(card->state);
    free(card);
}

static int elem_count(snd_ctl_ext_t* ext) {
    return ((test_card_t*)ext->private_data)->count;
}

static int elem_list(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) {
    (void)ext;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, names[offset]);
    return 0;
}

static snd_ctl_ext_key_t find_elem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
    const test_card_t* card = ext->private_data;
    const char* name = snd_ctl_elem_id_get_name(id);
    for (int i = 0; i < card->count; ++i) {
        if (strcmp(name, names[i]) == 0) {
            return (snd_ctl_ext_key_t)i;
        }
    }
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

static int get_attribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc,
                         unsigned int* count) {
    (void)ext;
    const int volume = key == MIC_VOLUME || key == SIDETONE_VOLUME;
    *type = volume ? SND_CTL_ELEM_TYPE_INTEGER : SND_CTL_ELEM_TYPE_BOOLEAN;
    *acc = SND_CTL_EXT_ACCESS_READWRITE | (volume ? SND_CTL_EXT_ACCESS_TLV_READ : 0);
    *count = 1;
    return 0;
}

static int get_integer_info(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax, long* istep) {
    (void)ext;
    (void)key;
    *imin = 0;
    *imax = 31;
    *istep = 1;
    return 0;
}

static int read_integer(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    test_card_t* card = ext->private_data;
    load(card);
    *value = card->values[key];
    return 0;
}

static int write_integer(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    test_card_t* card = ext->private_data;
    load(card);
    if (card->values[key] == *value) {
        return 0;
    }
    card->values[key] = *value;
    const int stored = store(card);
    return stored < 0 ? stored : 1;
}

static void subscribe_events(snd_ctl_ext_t* ext, int subscribe) {
    (void)ext;
    (void)subscribe;
}

static int read_event(snd_ctl_ext_t* ext, snd_ctl_elem_id_t* id, unsigned int* event_mask) {
    (void)ext;
    (void)id;
    (void)event_mask;
    return -EAGAIN;
}

static const snd_ctl_ext_callback_t callbacks = {
    .close = card_close,
    .elem_count = elem_count,
    .elem_list = elem_list,
    .find_elem = find_elem,
    .get_attribute = get_attribute,
    .get_integer_info = get_integer_info,
    .read_integer = read_integer,
    .write_integer = write_integer,
    .subscribe_events = subscribe_events,
    .read_event = read_event,
};

SND_CTL_PLUGIN_DEFINE_FUNC(velkortest) {
    (void)root;
    int sidetone = 0;
    const char* state = NULL;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* entry = snd_config_iterator_entry(i);
        const char* id = NULL;
        if (snd_config_get_id(entry, &id) < 0 || strcmp(id, "comment") == 0 || strcmp(id, "type") == 0) {
            continue;
        }
        if (strcmp(id, "sidetone") == 0) {
            sidetone = snd_config_get_bool(entry) > 0;
        } else if (strcmp(id, "state") == 0) {
            if (snd_config_get_string(entry, &state) < 0) {
                return -EINVAL;
            }
        } else {
            SNDERR("Unknown field %s", id);
            return -EINVAL;
        }
    }
    if (state == NULL) {
        SNDERR("velkortest needs a state file");
        return -EINVAL;
    }
    test_card_t* card = calloc(1, sizeof(*card));
    if (card == NULL) {
        return -ENOMEM;
    }
    card->state = strdup(state);
    card->count = sidetone ? ELEMENTS : SIDETONE_VOLUME;
    load(card);
    card->ext.version = SND_CTL_EXT_VERSION;
    card->ext.card_idx = 0;
    strcpy(card->ext.id, "Velkortest");
    strcpy(card->ext.driver, "velkortest");
    strcpy(card->ext.name, "Test headset");
    strcpy(card->ext.longname, "Test headset card");
    strcpy(card->ext.mixername, "Test headset mixer");
    card->ext.poll_fd = -1;
    card->ext.callback = &callbacks;
    card->ext.private_data = card;
    card->ext.tlv.p = db_scale;
    const int err = snd_ctl_ext_create(&card->ext, name, mode);
    if (err < 0) {
        free(card->state);
        free(card);
        return err;
    }
    *handlep = card->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(velkortest);
