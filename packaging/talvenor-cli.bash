# bash completion of talvenor-cli: its commands and options, the sites
# (labels and aliases) and, for update and books, the categories stored for
# the site.  Everything is asked of the program itself, so that a site or a
# command it learns appears here too: `--help` for the commands,
# `sites --names` for the sites, `site --stored SITE` for the categories,
# none of which reaches a site.

# Fills COMPREPLY with the lines of standard input that begin with $cur,
# quoted where the shell would split or expand them.
_talvenor_cli_reply() {
    local c
    while IFS= read -r c; do
        [[ -n $c && $c == "$cur"* ]] || continue
        if [[ $c == *[[:space:]\'\"\\\$\`\;\&\|\<\>\(\)\*\?\[\]~#!]* ]]; then
            COMPREPLY+=("$(printf '%q' "$c")")
        else
            COMPREPLY+=("$c")
        fi
    done
}

_talvenor_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local cli=${COMP_WORDS[0]/#\~/$HOME}
    local home=() words=() i w
    COMPREPLY=()

    # The words before the cursor: --home is kept for asking the program,
    # options and their values are skipped, the rest are the command and
    # its arguments.
    for ((i = 1; i < COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        case $w in
            --home | --wait-timeout | --page-timeout | --site | --title | --spacing | --filter | --save-mark)
                [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++))
                if ((i + 1 < COMP_CWORD)); then
                    [[ $w == --home ]] && home=(--home "${COMP_WORDS[i + 1]/#\~/$HOME}")
                    ((i++))
                fi
                ;;
            -*) ;;
            *) words+=("$w") ;;
        esac
    done
    [[ $cur == = ]] && cur=
    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD - 2]}

    case $prev in
        --home | --save-mark)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            compopt -o filenames 2> /dev/null
            return
            ;;
        --wait-timeout | --page-timeout | --title | --spacing | --filter | --to | --voice) return ;;
        --rate | --pitch)
            _talvenor_cli_reply < <(printf '%s\n' -2 -1 0 1 2)
            return
            ;;
        --site)
            _talvenor_cli_reply < <("$cli" "${home[@]}" sites --names 2> /dev/null | tr '\t' '\n')
            return
            ;;
    esac

    local command=${words[0]}
    local n=$((${#words[@]} - 1)) # arguments of the command before the cursor
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            _talvenor_cli_reply < <(printf '%s\n' --home --yes --no --ask --wait-timeout --page-timeout \
                --version --help)
        else
            _talvenor_cli_reply < <("$cli" --help 2> /dev/null |
                sed -n '/^commands:/,/^$/s/^  \([a-z][a-z0-9-]*\).*/\1/p')
        fi
        return
    fi

    local options=()
    case $command in
        sites) options=(--names) ;;
        site) options=(--stored) ;;
        search) options=(--site) ;;
        read) options=(--title --spacing --filter --no-save --save-mark) ;;
        resume | open-mark | marks) options=(--no-save --save-mark) ;;
        export) options=(--pictures) ;;
        speak) options=(--to --voice --rate --pitch --no-save) ;;
    esac
    if [[ $cur == -* ]]; then
        _talvenor_cli_reply < <(printf '%s\n' "${options[@]}")
        return
    fi

    local sites=false
    case $command:$n in
        check-site:0 | trace:0) sites=true ;;
        trace:1)
            _talvenor_cli_reply < <(printf '%s\n' categories booklist search intro chapters text)
            ;;
        trace:2) _talvenor_cli_reply < <(printf '%s\n' --page) ;;
        check-rules:0 | trace:3)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            compopt -o filenames 2> /dev/null
            ;;
        site:0 | update:0 | books:0 | chapters:0 | intro:0 | read:0 | export:0 | speak:0) sites=true ;;
        watch:0) _talvenor_cli_reply < <(printf '%s\n' list add remove check) ;;
        watch:1) [[ ${words[1]} == add ]] && sites=true ;;
        marks:0) _talvenor_cli_reply < <(printf '%s\n' open delete) ;;
        open-mark:0)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            compopt -o filenames 2> /dev/null
            ;;
        update:1 | books:1)
            _talvenor_cli_reply < <("$cli" "${home[@]}" site --stored "${words[1]}" 2> /dev/null | cut -f1)
            ;;
    esac
    if $sites; then
        _talvenor_cli_reply < <("$cli" "${home[@]}" sites --names 2> /dev/null | tr '\t' '\n')
    fi
}

complete -F _talvenor_cli talvenor-cli
