# bash completion for skerry                                 -*- shell-script -*-
# Options, and drive letters from the device directory that skerry itself
# reads on Linux: $SKERRY_DOSDEVICES, else $WINEPREFIX/dosdevices, else
# ~/.wine/dosdevices, where "x::" (a volume) and "x:" (a directory) name drive X.

_skerry_drives()
{
    local dir entry letter
    local -A seen=()
    if [[ -n ${SKERRY_DOSDEVICES-} ]]; then
        dir=$SKERRY_DOSDEVICES
    elif [[ -n ${WINEPREFIX-} ]]; then
        dir=$WINEPREFIX/dosdevices
    else
        dir=~/.wine/dosdevices
    fi
    [[ -d $dir ]] || return 0
    for entry in "$dir"/?: "$dir"/?::; do
        [[ -e $entry || -L $entry ]] || continue
        letter=${entry##*/}
        letter=${letter:0:1}
        letter=${letter,,}
        [[ $letter == [a-z] && -z ${seen[$letter]-} ]] || continue
        seen[$letter]=1
        printf '%s:\n' "$letter"
    done
}

_skerry()
{
    # The words are taken from the line itself: bash splits COMP_WORDS at ":"
    # and "=", which every drive argument holds.
    local line=${COMP_LINE:0:COMP_POINT}
    local -a words drives
    read -ra words <<<"$line"
    [[ -z $line || $line == *[[:space:]] ]] && words+=("")
    local cur=${words[-1]} last=$((${#words[@]} - 1))
    local i word letters before options_ended=

    # Walk the words before the cursor as skerry's option scanner does: the
    # first of A, d, f, s, t in a word takes the rest of it as its value, or,
    # when it ends the word, the next word (-A only a word that begins with
    # "="); "--" and the first word that is not an option end the options.
    for ((i = 1; i < last; i++)); do
        word=${words[i]}
        if [[ $word == -- || $word != -?* ]]; then
            options_ended=1
            break
        fi
        letters=${word#-}
        before=${letters%%[Adfst]*}
        [[ $before == "$letters" || ${#before} -ne $((${#letters} - 1)) ]] && continue
        if [[ $letters == *A ]]; then
            [[ ${words[i + 1]-} == =* ]] && ((i++))
        elif ((i + 1 == last)); then
            return 0 # the value of -d, -f, -s or -t: nothing to offer
        else
            ((i++))
        fi
    done

    local -a candidates
    if [[ $cur == [a-zA-Z]:=* ]]; then
        # The mapped form x:=PATH: a file name after the "=".
        compopt -o filenames 2>/dev/null
        mapfile -t candidates < <(compgen -f -- "${cur:3}")
        candidates=("${candidates[@]/#/${cur:0:3}}")
    elif [[ -z $options_ended && $cur == -* ]]; then
        local all='-! -# -A -A= -D -I -Q -S -T -V -d -f -s -t -z -m -0 -e -?'
        ((last == 1)) && all+=' --help --version'
        mapfile -t candidates < <(compgen -W "$all" -- "$cur")
    else
        mapfile -t drives < <(_skerry_drives)
        mapfile -t candidates < <(compgen -W "${drives[*]}" -- "${cur,,}")
    fi

    # Readline replaces only the text after the word's last break character
    # (":" and "=" by default), so the answers leave out what comes before.
    local breaks=${COMP_WORDBREAKS-}
    local kept=
    [[ -n $breaks ]] && kept=${cur%"${cur##*["$breaks"]}"}
    COMPREPLY=()
    for word in "${candidates[@]}"; do
        COMPREPLY+=("${word:${#kept}}")
    done
    return 0
} &&
    complete -F _skerry skerry
