# bash completion for ljungcv: subcommands, each one's options, and the
# values of --method and --format. Where a file or a number is due, bash's
# default completion (file names) takes over.

_ljungcv()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local subcommand='' word words
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            table | eval | plot | limits | reach | outliers | info) subcommand=$word; break ;;
        esac
    done

    case $prev in
        --method)
            words='C L CORRECTED LJUNG'
            case $subcommand in table | plot | limits | reach) words+=' both' ;; esac
            mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
            return ;;
        --format)
            case $subcommand in
                eval) words='csv json' ;;
                reach | outliers) words='text csv json' ;;
                *) words='text markdown latex csv json' ;;
            esac
            mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
            return ;;
        --gnuplot)
            mapfile -t COMPREPLY < <(compgen -c -- "$cur")
            return ;;
        --module | -o | --output | --script | --n | --alpha | --digits | --width | --height | --font-size | \
        --title | --timeout | --order | --seasonal | --types | --delta | --critical-value | --resamples | --seed | \
        --by | --workers)
            return ;;
    esac

    # --module is the main command's, and is taken after a subcommand too.
    case $subcommand in
        '') words='-h --help --version --module --digits --exact' ;;
        table) words='-h --help --module --n --alpha --method --format --digits --exact' ;;
        eval) words='-h --help --module --alpha --method --format' ;;
        plot) words='-h --help --module -o --output --n --alpha --method --linear --width --height --font-size
                     --title --script --gnuplot --timeout --line --mark-n' ;;
        limits) words='-h --help --module --alpha --method' ;;
        reach) words='-h --help --module --alpha --method --format' ;;
        outliers) words='-h --help --module --order --period --seasonal --alpha --method --types --delta --critical-value
                         --resamples --seed --format --by --workers' ;;
        info) words='-h --help --module' ;;
    esac
    if [[ $cur != -* ]]; then
        case $subcommand in
            '') words='table eval plot limits reach outliers info' ;;
            eval | reach | outliers) return ;;  # input files; thresholds
        esac
    fi
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
} &&
    complete -F _ljungcv -o bashdefault -o default ljungcv
